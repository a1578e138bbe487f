#include "httpexchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

QByteArray HttpAnswer::Header(const QByteArray &name) const
{
    for (const QByteArray &line : headers.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

HttpAnswer Exchange(quint16 port, const QByteArray &raw, int timeoutMs, const QHostAddress &from)
{
    HttpAnswer answer;
    QTcpSocket socket;
    if (!from.isNull() && !socket.bind(from))
        return answer;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    QElapsedTimer clock;
    clock.start();
    QByteArray received;
    bool wrote = false;
    while (clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!wrote && socket.state() == QAbstractSocket::ConnectedState) {
            socket.write(raw);
            wrote = true;
        }
        received += socket.readAll();
        const int end = received.indexOf("\r\n\r\n");
        if (end >= 0) {
            answer.headers = received.left(end);
            const QList<QByteArray> status = answer.headers.left(answer.headers.indexOf('\r')).split(' ');
            const qsizetype length = answer.Header("Content-Length").toLongLong();
            if (received.size() - end - 4 >= length) {
                answer.status = status.size() > 1 ? status[1].toInt() : -1;
                answer.body = received.mid(end + 4, length);
                break;
            }
        }
        if (wrote && socket.state() == QAbstractSocket::UnconnectedState) {
            answer.closedByServer = true;
            break;
        }
    }
    return answer;
}

QByteArray Request(const QByteArray &method, const QByteArray &path, quint16 port, const QByteArray &token,
                   const QByteArray &body, const QList<QByteArray> &extraHeaders)
{
    QByteArray raw = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    if (!token.isEmpty())
        raw += "Authorization: Bearer " + token + "\r\n";
    for (const QByteArray &header : extraHeaders)
        raw += header + "\r\n";
    raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return raw;
}
