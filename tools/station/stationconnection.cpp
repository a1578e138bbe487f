#include "stationconnection.h"

#include "commandrecord.h"
#include "recordline.h"

#include <QDateTime>
#include <QTcpSocket>

#include <cstdio>

namespace {

// Qt reads no further ahead than this, so a connection that stops reading
// really leaves the panel's bytes in the network buffers.
constexpr qint64 kReadBuffer = 64 * 1024;

void Report(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

StationConnection::StationConnection(QTcpSocket *socket, quint16 port, const StationOptions &options, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_port(port)
    , m_options(options)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadBuffer);
    m_peer = QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());
    Report(QStringLiteral("port %1: connection from %2").arg(m_port).arg(m_peer));
    connect(m_socket, &QTcpSocket::readyRead, this, &StationConnection::OnReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &StationConnection::OnDisconnected);
    m_resumeTimer.setSingleShot(true);
    connect(&m_resumeTimer, &QTimer::timeout, this, [this] {
        Report(QStringLiteral("port %1: %2: reading again").arg(m_port).arg(m_peer));
        m_reading = true;
        OnReadyRead();
    });
    if (m_options.stopReadingAfter == 0)
        StopReading();
    if (!m_options.sendBytes.isEmpty()) {
        connect(&m_sendTimer, &QTimer::timeout, this, &StationConnection::SendUnsolicited);
        SendUnsolicited();
        if (m_options.sendEveryMs > 0)
            m_sendTimer.start(m_options.sendEveryMs);
    }
    // Bytes may have arrived before readyRead was connected; taken once the
    // owner has connected to recordReceived.
    QMetaObject::invokeMethod(this, &StationConnection::OnReadyRead, Qt::QueuedConnection);
}

void StationConnection::OnReadyRead()
{
    while (m_reading && m_socket->state() == QAbstractSocket::ConnectedState) {
        const qint64 want = qint64(sizeof(CommandRecord)) - m_pending.size();
        const QByteArray bytes = m_socket->read(want);
        if (bytes.isEmpty())
            return;
        m_pending += bytes;
        if (m_pending.size() < qsizetype(sizeof(CommandRecord)))
            continue;
        std::printf("%s\n", FormatRecordLine(QDateTime::currentDateTime(), m_port, m_peer, m_pending).toUtf8().constData());
        std::fflush(stdout);
        m_pending.clear();
        ++m_records;
        emit recordReceived();
        if (m_options.closeAfter > 0 && m_records >= m_options.closeAfter) {
            Report(QStringLiteral("port %1: %2: closing after %3 records").arg(m_port).arg(m_peer).arg(m_records));
            m_closedByLimit = true;
            m_reading = false;
            m_socket->disconnectFromHost();
            return;
        }
        if (m_options.stopReadingAfter > 0 && m_records == m_options.stopReadingAfter) {
            StopReading();
            return;
        }
    }
}

void StationConnection::OnDisconnected()
{
    m_sendTimer.stop();
    m_resumeTimer.stop();
    if (!m_pending.isEmpty())
        Report(QStringLiteral("port %1: %2: closed inside a record (%3 of 104 bytes)").arg(m_port).arg(m_peer).arg(m_pending.size()));
    Report(QStringLiteral("port %1: %2: closed after %3 records").arg(m_port).arg(m_peer).arg(m_records));
    emit finished(m_closedByLimit);
    deleteLater();
}

void StationConnection::StopReading()
{
    Report(QStringLiteral("port %1: %2: stopped reading after %3 records").arg(m_port).arg(m_peer).arg(m_records));
    m_reading = false;
    if (m_options.resumeReadingAfterMs > 0)
        m_resumeTimer.start(m_options.resumeReadingAfterMs);
}

void StationConnection::SendUnsolicited()
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(m_options.sendBytes);
}
