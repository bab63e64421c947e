#pragma once

#include <QTranslator>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lang/LanguageFile.h"

class QObject;

namespace vantrel {

// Rewrites the texts of a window or frame from a language file's section:
// each "objectName.Property" finds its object under `root` (frames inside
// it are left to their own section) and sets the text the way that kind of
// object shows it (a menu's title, a tab's text, a curve's legend name, a
// list's items, ...), else through Qt's property system. Translations the
// controller applies itself are passed over when `leave` says so. Returns
// the keys that found nothing to apply to.
std::vector<std::string> localise(QObject& root, const std::vector<tTranslation>& translations,
                                  const std::function<bool(const tTranslation&)>& leave = {});

// The toolkit's own texts (the dialog buttons, the file dialog's labels)
// from a language file's [Qt] section, looked up as "Context|source text".
class tFileTranslator : public QTranslator {
public:
    explicit tFileTranslator(std::map<std::string, std::string, std::less<>> texts)
        : texts_(std::move(texts)) {}
    bool isEmpty() const override { return texts_.empty(); }
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;

private:
    std::map<std::string, std::string, std::less<>> texts_;
};

}  // namespace vantrel
