#include "websearch/tests/test_server.h"

#include <QTcpSocket>

TestServer::TestServer(QObject *parent) : QTcpServer(parent)
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void TestServer::setPage(const QByteArray &path, const QByteArray &html, const QByteArray &charset)
{
    m_pages[path] = {html, charset};
}

QByteArray TestServer::base() const
{
    return "http://127.0.0.1:" + QByteArray::number(serverPort());
}

QList<ReceivedRequest> TestServer::requestsFor(const QByteArray &path) const
{
    QList<ReceivedRequest> found;
    for (const ReceivedRequest &r : m_requests)
        if (r.target.split('?').first() == path)
            found.append(r);
    return found;
}

void TestServer::serve(QTcpSocket *socket)
{
    // Waits until the head and the announced body are complete; they may come in pieces.
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    socket->setProperty("buffered", buffered);
    const qsizetype headEnd = buffered.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QByteArray head = buffered.left(headEnd);
    qsizetype length = 0;
    for (const QByteArray &line : head.split('\n'))
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    if (buffered.size() < headEnd + 4 + length)
        return;
    const QList<QByteArray> requestLine = head.left(head.indexOf('\r')).split(' ');
    ReceivedRequest request{requestLine.value(0), requestLine.value(1), buffered.mid(headEnd + 4, length)};
    m_requests.append(request);
    socket->setProperty("buffered", QByteArray());

    const QByteArray path = request.target.split('?').first();
    QByteArray status = "200 OK";
    Page page{"<html><head><title>result</title></head><body>result</body></html>", "utf-8"};
    if (m_pages.contains(path))
        page = m_pages[path];
    else if (path != "/result")
        status = "404 Not Found";
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=" + page.charset +
                  "\r\nContent-Length: " + QByteArray::number(page.html.size()) + "\r\nConnection: close\r\n\r\n" +
                  page.html);
    socket->disconnectFromHost();
}

QByteArray formField(const QByteArray &encoded, const QByteArray &name)
{
    for (const QByteArray &pair : encoded.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq >= 0 && pair.left(eq) == name) {
            QByteArray value = pair.mid(eq + 1);
            value.replace('+', ' ');
            return QByteArray::fromPercentEncoding(value);
        }
    }
    return {};
}
