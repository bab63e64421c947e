#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vantrel {

// The running copy listens for later copies, which only ask it to come
// forward and then end. The Windows window walk does the same there.
class tInstanceServer : public QObject {
    Q_OBJECT

public:
    explicit tInstanceServer(QObject* parent = nullptr);
    // Whether the running copy was reached and asked.
    static bool AskRunningCopy();

signals:
    void comeForwardRequested();

private:
    static QString Name();
    QLocalServer* server_;
};

}  // namespace vantrel
