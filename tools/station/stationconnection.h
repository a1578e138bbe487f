#pragma once

// One panel connection to one port: cuts the stream into 104-byte records,
// prints a line for each, and plays the faults the operator asked for.

#include "stationoptions.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

class StationConnection : public QObject {
    Q_OBJECT
public:
    StationConnection(QTcpSocket *socket, quint16 port, const StationOptions &options, QObject *parent = nullptr);

signals:
    void recordReceived();
    // The connection is gone; closedByLimit when --close-after closed it.
    void finished(bool closedByLimit);

private:
    void OnReadyRead();
    void OnDisconnected();
    void SendUnsolicited();
    void StopReading();

    QTcpSocket *m_socket;
    quint16 m_port;
    const StationOptions &m_options;
    QString m_peer;
    QByteArray m_pending;
    int m_records = 0;
    bool m_reading = true;
    bool m_closedByLimit = false;
    QTimer m_sendTimer;
    QTimer m_resumeTimer;
};
