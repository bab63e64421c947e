#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

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

// Brings the running copy's window to the front as the user left it: a
// minimised window comes back at its size before (maximised stays
// maximised); any other keeps its size.
void bringForward(QWidget& window);

}  // namespace vantrel
