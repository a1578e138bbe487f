#pragma once

// OSC over UDP: /plaxon/launch N, /plaxon/play, /plaxon/pause, /plaxon/stop
// and /plaxon/brightness VALUE [STATION...], from the senders on the allow
// list only. The allow list filters and does not authenticate: a UDP
// source address can be forged. So each sender is held to a rate
// (SenderRateLimit); what is over it is dropped and journaled as one summary
// line a second. The socket is watched by the interface thread's event loop;
// liblo decodes each datagram. Commands follow the rules of a click; one the
// panel refuses, or one that names a command but carries other arguments
// than it takes, is dropped and journaled with the reason.

#include "remotecommand.h"
#include "remoteendpoint.h"
#include "senderratelimit.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

class PanelRemote;

class OscReceiver : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 MAX_DATAGRAM = 64 * 1024;
    static constexpr int SUMMARY_MS = 1000;

    OscReceiver(PanelRemote &panel, QList<AddressRange> allowed, QObject *parent = nullptr);

    // For tests: other rates, and how often the summary of drops is written.
    void SetRateLimits(const SenderRateLimit::Limits &limits) { m_rate = SenderRateLimit(limits); }
    void SetSummaryInterval(int ms) { m_summary.setInterval(ms); }

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
    int Limited() const { return m_limited; }   // over the rate, dropped unread

private:
    void ReadPending();
    void JournalLimited();

    PanelRemote &m_panel;
    QList<AddressRange> m_allowed;
    QUdpSocket m_socket;
    SenderRateLimit m_rate;
    QElapsedTimer m_clock;
    QTimer m_summary;
    int m_limited = 0;
    int m_ignored = 0;
    int m_dropped = 0;
    int m_executed = 0;
};
