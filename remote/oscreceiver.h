#pragma once

// OSC over UDP: /plaxon/launch N, /plaxon/play, /plaxon/pause, /plaxon/stop
// and /plaxon/brightness VALUE [STATION...], from the senders on the allow
// list only. The socket is watched by the interface thread's event loop;
// liblo decodes each datagram. Commands follow the rules of a click; one the
// panel refuses, or one that names a command but carries the wrong
// arguments, is dropped and journaled with the reason.

#include "remotecommand.h"
#include "remoteendpoint.h"

#include <QObject>
#include <QUdpSocket>

class PanelRemote;

class OscReceiver : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 MAX_DATAGRAM = 64 * 1024;

    OscReceiver(PanelRemote &panel, QList<AddressRange> allowed, QObject *parent = nullptr);

    bool Listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 Port() const { return m_socket.localPort(); }

    // The command a datagram carries, or nothing with reason set (empty for
    // a datagram that is no OSC message for this program at all).
    static std::optional<RemoteCommand> Decode(const QByteArray &datagram, QString *reason);
    // One datagram from sender, as the socket delivers it.
    void Handle(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort);

    int Ignored() const { return m_ignored; }   // from senders not on the list
    int Dropped() const { return m_dropped; }   // not a command, or refused
    int Executed() const { return m_executed; } // sent as the panel sends it

private:
    void ReadPending();

    PanelRemote &m_panel;
    QList<AddressRange> m_allowed;
    QUdpSocket m_socket;
    int m_ignored = 0;
    int m_dropped = 0;
    int m_executed = 0;
};
