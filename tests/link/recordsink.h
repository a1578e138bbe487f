#pragma once

// A loopback listener standing in for one station port: accepts every
// connection and keeps all bytes received, in arrival order.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <utility>

class QTcpSocket;

class RecordSink : public QObject {
    Q_OBJECT
public:
    explicit RecordSink(const QHostAddress &address = QHostAddress::LocalHost);

    // Listens on port (0: any free one); false if that fails.
    bool Listen(quint16 port = 0);
    quint16 Port() const { return m_port; }
    // Refuses new connections; accepted ones stay.
    void StopListening();
    // Closes every accepted connection.
    void DropConnections();
    // While off, bytes stay in the network buffers (at most one byte is
    // taken into Qt's), as with a station that stopped reading.
    void SetReading(bool on);

    int Accepted() const { return m_accepted; }
    int Open() const;
    const QByteArray &Received() const { return m_bytes; }
    void ClearReceived() { m_bytes.clear(); }
    QByteArray TakeReceived() { return std::exchange(m_bytes, {}); }

private:
    void OnNewConnection();
    void Drain(QTcpSocket *socket);

    QHostAddress m_address;
    quint16 m_port = 0;
    QTcpServer m_server;
    QList<QTcpSocket *> m_sockets;
    QByteArray m_bytes;
    int m_accepted = 0;
    bool m_reading = true;
};
