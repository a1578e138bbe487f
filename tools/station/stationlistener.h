#pragma once

// One listening port of the simulated station.

#include "stationoptions.h"

#include <QObject>
#include <QTcpServer>
#include <QTimer>

class StationListener : public QObject {
    Q_OBJECT
public:
    StationListener(quint16 port, const StationOptions &options, QObject *parent = nullptr);

    // Starts listening, after the --refuse-for pause if one was asked for.
    // False when the port cannot be listened on right now.
    bool Start();

signals:
    void recordReceived();

private:
    bool Listen();
    void Refuse();
    void OnNewConnection();

    quint16 m_port;
    const StationOptions &m_options;
    QTcpServer m_server;
    QTimer m_refuseTimer;
};
