#include "oscreceiver.h"

#include "configmodel.h"
#include "journal.h"
#include "panelremote.h"

#include <QNetworkDatagram>

#include <lo/lo.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

const QByteArray kPrefix = QByteArrayLiteral("/plaxon/");

struct MessageFree {
    void operator()(lo_message message) const { lo_message_free(message); }
};
using Message = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageFree>;

// A whole number from an int32 or float32 argument. liblo's arguments lie
// on 4-byte boundaries in the datagram, while its lo_arg union wants 8, so
// the value is copied out rather than read through the union.
std::optional<int> WholeArgument(char type, const lo_arg *argument)
{
    if (type == LO_INT32) {
        int32_t value = 0;
        std::memcpy(&value, static_cast<const void *>(argument), sizeof value);
        return value;
    }
    if (type == LO_FLOAT) {
        float value = 0;
        std::memcpy(&value, static_cast<const void *>(argument), sizeof value);
        if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e9f)
            return int(value);
    }
    return std::nullopt;
}

} // namespace

OscReceiver::OscReceiver(PanelRemote &panel, QList<AddressRange> allowed, QObject *parent)
    : QObject(parent), m_panel(panel), m_allowed(std::move(allowed))
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &OscReceiver::ReadPending);
    m_clock.start();
    m_summary.setInterval(SUMMARY_MS);
    connect(&m_summary, &QTimer::timeout, this, &OscReceiver::JournalLimited);
    m_summary.start();
}

bool OscReceiver::Listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_socket.bind(BindAddress(address), port)) {
        *error = m_socket.errorString();
        return false;
    }
    return true;
}

void OscReceiver::ReadPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(MAX_DATAGRAM);
        Handle(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

std::optional<RemoteCommand> OscReceiver::Decode(const QByteArray &datagram, QString *reason)
{
    reason->clear();
    QByteArray data = datagram; // liblo converts the arguments in place
    const char *path = lo_get_path(data.data(), data.size());
    if (!path || !QByteArray(path).startsWith(kPrefix))
        return std::nullopt;
    const QByteArray name = QByteArray(path).mid(kPrefix.size());
    int result = 0;
    const Message message(lo_message_deserialise(data.data(), size_t(data.size()), &result));
    if (!message) {
        *reason = QStringLiteral("%1: not a well-formed OSC message").arg(QString::fromLatin1(path));
        return std::nullopt;
    }
    const int count = lo_message_get_argc(message.get());
    const char *types = lo_message_get_types(message.get());
    lo_arg **argv = lo_message_get_argv(message.get());
    auto number = [&](int i) { return WholeArgument(types[i], argv[i]); };

    RemoteCommand command;
    if (name == "play" || name == "pause" || name == "stop") {
        if (count != 0) {
            *reason = QStringLiteral("%1 takes no arguments").arg(QString::fromLatin1(path));
            return std::nullopt;
        }
        command.action = name == "play" ? RemoteAction::Play : name == "pause" ? RemoteAction::Pause : RemoteAction::Stop;
        return command;
    }
    if (name == "launch") {
        const std::optional<int> button = count == 1 ? number(0) : std::nullopt;
        if (!button || *button < 1 || *button > BUTTON_COUNT) {
            *reason = QStringLiteral("/plaxon/launch takes one number from 1 to %1").arg(BUTTON_COUNT);
            return std::nullopt;
        }
        command.action = RemoteAction::Launch;
        command.button = *button;
        return command;
    }
    if (name == "brightness") {
        const std::optional<int> value = count >= 1 ? number(0) : std::nullopt;
        if (!value || *value < 0 || *value > RemoteCommand::BRIGHTNESS_MAX || count > 1 + STATION_COUNT) {
            *reason = QStringLiteral("/plaxon/brightness takes a value from 0 to 100 and station numbers");
            return std::nullopt;
        }
        command.action = RemoteAction::Brightness;
        command.brightness = *value;
        if (count > 1) {
            uint32_t stations = 0;
            for (int i = 1; i < count; ++i) {
                const std::optional<int> station = number(i);
                if (!station || *station < 1 || *station > STATION_COUNT) {
                    *reason = QStringLiteral("/plaxon/brightness: stations are numbered 1 to %1").arg(STATION_COUNT);
                    return std::nullopt;
                }
                stations |= 1u << (*station - 1);
            }
            command.stations = stations;
        }
        return command;
    }
    *reason = QStringLiteral("%1: no such command").arg(QString::fromLatin1(path));
    return std::nullopt;
}

void OscReceiver::Handle(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort)
{
    if (!InRanges(m_allowed, sender)) {
        ++m_ignored;
        return;
    }
    const QHostAddress plain = PlainAddress(sender);
    // Per address, not per port: a flood can come from any port.
    if (!m_rate.Take(plain, m_clock.elapsed())) {
        ++m_limited;
        return;
    }
    const QString from = QStringLiteral("%1:%2").arg(plain.toString()).arg(senderPort);
    QString reason;
    const std::optional<RemoteCommand> command = Decode(datagram, &reason);
    if (!command) {
        ++m_dropped;
        if (!reason.isEmpty())
            m_panel.JournalRefusal(QStringLiteral("osc  %1  dropped: %2").arg(from, Journal::OutsideText(reason)),
                                   sender.toString());
        return;
    }
    // A refusal is journaled where the rules are.
    const RemoteOutcome outcome = m_panel.Run(*command, {CommandSource::Kind::Osc, from});
    if (outcome.status == RemoteOutcome::Status::Done)
        ++m_executed;
    else
        ++m_dropped;
}

void OscReceiver::JournalLimited()
{
    const SenderRateLimit::Summary summary = m_rate.TakeSummary();
    if (summary.dropped == 0)
        return;
    const QString senders = summary.senders > 1
                                ? QStringLiteral("%1 and %2 other senders").arg(summary.first.toString()).arg(summary.senders - 1)
                                : summary.first.toString();
    m_panel.JournalRefusal(QStringLiteral("osc  %1  over the rate limit: %2 messages dropped in %3 ms")
                               .arg(senders)
                               .arg(summary.dropped)
                               .arg(m_summary.interval()));
}
