#pragma once

// What the operator asked plaxon-station to do, shared by every port.

#include <QByteArray>
#include <QHostAddress>
#include <QList>

struct StationOptions {
    QHostAddress listenAddress{QHostAddress::LocalHost};
    QList<quint16> ports;
    int closeAfter = 0;        // close a connection after this many records; 0 = never
    int stopReadingAfter = -1; // stop reading a connection after this many records; -1 = never
    int resumeReadingAfterMs = 0; // start reading again this long after stopping; 0 = never
    int refuseForMs = 0;       // not listening for this long at start and after each --close-after
    QByteArray sendBytes;      // unsolicited bytes sent on each new connection
    int sendEveryMs = 0;       // repeat sendBytes at this interval; 0 = once
    int exitAfter = 0;         // end the program after this many records in all; 0 = never
};
