#include "guardedsocket.h"

#include <QMetaMethod>

namespace {

const QByteArray kSwitching = QByteArrayLiteral("HTTP/1.1 101 ");
const QByteArray kStatusLine = QByteArrayLiteral("HTTP/1.");
const QByteArray kCrossOrigin = QByteArrayLiteral("access-control-");

// The handshake answer without its Access-Control-* header lines.
QByteArray WithoutCrossOriginHeaders(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    if (end < 0)
        return answer;
    QByteArray head;
    for (const QByteArray &line : answer.left(end).split('\n')) {
        if (!line.toLower().startsWith(kCrossOrigin))
            head += line + '\n';
    }
    head.chop(1); // the last line had no '\n' of its own
    return head + answer.mid(end);
}

} // namespace

void GuardedSocket::disconnectNotify(const QMetaMethod &signal)
{
    if (!signal.isValid() && state() != UnconnectedState)
        QMetaObject::invokeMethod(this, &GuardedSocket::CloseIfAbandoned, Qt::QueuedConnection);
    QTcpSocket::disconnectNotify(signal);
}

void GuardedSocket::CloseIfAbandoned()
{
    // An upgrade to a WebSocket drops the connections too, and the
    // WebSocket server connects its own at once: that socket lives on.
    if (state() == UnconnectedState || isSignalConnected(QMetaMethod::fromSignal(&QTcpSocket::readyRead)))
        return;
    abort();
    deleteLater();
}

qint64 GuardedSocket::writeData(const char *data, qint64 size)
{
    if (m_overflowed)
        return -1;
    const QByteArrayView bytes(data, size);
    if (m_switched)
        return QTcpSocket::writeData(data, size);
    if (bytes.startsWith(kSwitching)) {
        m_switched = true;
        const QByteArray answer = WithoutCrossOriginHeaders(bytes.toByteArray());
        // The caller counts what it handed over, not what was left out.
        return QTcpSocket::writeData(answer.constData(), answer.size()) < 0 ? -1 : size;
    }
    if (bytes.startsWith(kStatusLine))
        emit Answering();
    const qint64 written = QTcpSocket::writeData(data, size);
    if (bytesToWrite() > m_unsentLimit) {
        m_overflowed = true;
        // Not from inside the write: the server is still writing this answer.
        QMetaObject::invokeMethod(this, &GuardedSocket::Overflow, Qt::QueuedConnection);
    }
    return written;
}

void GuardedSocket::Overflow()
{
    abort();
    deleteLater();
}
