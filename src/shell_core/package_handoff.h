#pragma once
// One window per user: a start that names a package hands it to the reader already running, which
// imports it; only when none runs does the start open a window of its own.
#include <QObject>
#include <QString>

class QLocalServer;

namespace velm {

// The running reader's address, private to the user: a socket in $XDG_RUNTIME_DIR.
QString ReaderSocketName();

// Hands the package path (absolute) to the reader listening at name. True once that reader has taken it;
// false when none listens or it does not answer within timeoutMs.
bool HandOffPackage(const QString &name, const QString &packagePath, int timeoutMs = 5000);

// The running reader's end: every path handed over is announced once it has been acknowledged.
class PackageReceiver final : public QObject {
    Q_OBJECT
public:
    explicit PackageReceiver(QObject *parent = nullptr);
    ~PackageReceiver() override;
    // Listens at name, taking over a socket that no reader answers at; false when another reader listens
    // there (it then keeps receiving the packages) or the socket cannot be made.
    bool listen(const QString &name);

signals:
    void packageHanded(const QString &path);

private:
    void accept();
    QLocalServer *m_server;
};

} // namespace velm
