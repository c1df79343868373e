#pragma once
// A small HTTP server on 127.0.0.1 for the result browser's tests: fixed pages by path, every request kept.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>

struct ReceivedRequest {
    QByteArray method;
    QByteArray target; // path and query as sent
    QByteArray body;
};

class TestServer final : public QTcpServer {
    Q_OBJECT
public:
    explicit TestServer(QObject *parent = nullptr);

    // Serves html for the path (without query); charset goes into the Content-Type header.
    void setPage(const QByteArray &path, const QByteArray &html, const QByteArray &charset = "utf-8");
    QByteArray base() const; // "http://127.0.0.1:port"
    const QList<ReceivedRequest> &requests() const { return m_requests; }
    // The requests whose path (without query) is the given one.
    QList<ReceivedRequest> requestsFor(const QByteArray &path) const;

private:
    void serve(class QTcpSocket *socket);

    struct Page {
        QByteArray html;
        QByteArray charset;
    };
    QMap<QByteArray, Page> m_pages;
    QList<ReceivedRequest> m_requests;
};

// The decoded value of one query or form field of application/x-www-form-urlencoded text.
QByteArray formField(const QByteArray &encoded, const QByteArray &name);
