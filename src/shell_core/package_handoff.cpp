#include "shell_core/package_handoff.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <memory>

namespace velm {
namespace {

constexpr char kGreeting[] = "VELM-PACKAGE\n";
constexpr char kAcknowledged[] = "OK\n";
// A path is far shorter; anything longer is no hand-off of ours.
constexpr qint64 kLongestMessage = 64 * 1024;

} // namespace

QString ReaderSocketName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/velm-reader.socket");
}

bool HandOffPackage(const QString &name, const QString &packagePath, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(QByteArray(kGreeting) + packagePath.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof kAcknowledged - 1)) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
        answer += socket.readAll();
    }
    return answer.startsWith(kAcknowledged);
}

PackageReceiver::PackageReceiver(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &PackageReceiver::accept);
}

PackageReceiver::~PackageReceiver() = default;

bool PackageReceiver::listen(const QString &name)
{
    // The socket is made beside its name and renamed over it, which would take it from a reader that runs.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000))
        return false;
    // A socket left by a reader that ended without closing it answers nobody: it is taken over.
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

void PackageReceiver::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            const QByteArray greeting(kGreeting);
            if (!greeting.startsWith(buffer->left(greeting.size())) || buffer->size() > kLongestMessage) {
                socket->abort();
                return;
            }
            const qsizetype end = buffer->indexOf('\n', greeting.size());
            if (end < 0)
                return;
            const QString path = QString::fromUtf8(buffer->mid(greeting.size(), end - greeting.size()));
            buffer->clear();
            socket->write(kAcknowledged);
            socket->flush();
            socket->disconnectFromServer();
            if (!path.isEmpty())
                emit packageHanded(path);
        });
    }
}

} // namespace velm
