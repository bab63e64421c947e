#include "ui/InstanceGuard.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#include "base/InstanceLock.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kTimeoutMs = 1000;
constexpr int kAttempts = 10;
constexpr int kRetryMs = 300;

}  // namespace

QString tInstanceServer::Name() {
    return qs(tInstanceLock::MeetingPlace()) + QStringLiteral("/vantrel.socket");
}

tInstanceServer::tInstanceServer(QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
    // A copy that was killed leaves its socket behind; this copy holds the
    // lock, so whatever is there is stale.
    QLocalServer::removeServer(Name());
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->listen(Name());
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            emit comeForwardRequested();
        }
    });
}

bool tInstanceServer::AskRunningCopy() {
    QLocalSocket socket;
    // The running copy may still be starting and not listen yet.
    for (int attempt = 0;; ++attempt) {
        socket.connectToServer(Name());
        if (socket.waitForConnected(kTimeoutMs)) {
            break;
        }
        if (attempt == kAttempts) {
            return false;
        }
        QThread::msleep(kRetryMs);
    }
    socket.write("forward\n");
    socket.waitForBytesWritten(kTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

void bringForward(QWidget& window) {
    if (window.isMinimized()) {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    }
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace vantrel
