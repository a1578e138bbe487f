#include "recordsink.h"

#include <QTcpSocket>

RecordSink::RecordSink(const QHostAddress &address)
    : m_address(address)
{
    connect(&m_server, &QTcpServer::newConnection, this, &RecordSink::OnNewConnection);
}

bool RecordSink::Listen(quint16 port)
{
    if (!m_server.listen(m_address, port))
        return false;
    m_port = m_server.serverPort();
    return true;
}

void RecordSink::StopListening()
{
    m_server.close();
}

void RecordSink::DropConnections()
{
    for (QTcpSocket *socket : std::as_const(m_sockets)) {
        socket->disconnect(this);
        socket->close();
        socket->deleteLater();
    }
    m_sockets.clear();
}

void RecordSink::SetReading(bool on)
{
    m_reading = on;
    for (QTcpSocket *socket : std::as_const(m_sockets)) {
        socket->setReadBufferSize(on ? 0 : 1);
        Drain(socket);
    }
}

int RecordSink::Open() const
{
    int n = 0;
    for (const QTcpSocket *socket : m_sockets)
        n += socket->state() == QAbstractSocket::ConnectedState;
    return n;
}

void RecordSink::OnNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++m_accepted;
        socket->setParent(this);
        socket->setReadBufferSize(m_reading ? 0 : 1);
        m_sockets.append(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Drain(socket); });
        Drain(socket);
    }
}

void RecordSink::Drain(QTcpSocket *socket)
{
    if (m_reading)
        m_bytes += socket->readAll();
}
