#pragma once

#include <QObject>
#include <QString>

namespace vantrel {

class TfmClassWindow;

// Pictures of the class view as it really runs, for the documentation and
// to try an installed program: after `seconds` the stations' cards and the
// overlay, 40 s later the results and one station's run opened from its
// card; then the lesson ends and the program with it.
class tClassScreenshots : public QObject {
    Q_OBJECT

public:
    tClassScreenshots(TfmClassWindow& window, QString directory, int seconds);
    void Start();

private:
    void Grab(QWidget& widget, const QString& name);

    TfmClassWindow& window_;
    QString directory_;
    int seconds_;
};

}  // namespace vantrel
