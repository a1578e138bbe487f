#include "commanddelivery.h"

#include "connectionmanager.h"

int StationDelivery::Configured() const
{
    int n = 0;
    for (const LinkDelivery &l : link)
        n += l.outcome != LinkOutcome::None;
    return n;
}

int StationDelivery::Count(LinkOutcome outcome) const
{
    int n = 0;
    for (const LinkDelivery &l : link)
        n += l.outcome == outcome;
    return n;
}

LinkOutcome CommandDelivery::CurrentOutcome(const LinkDelivery &delivery, const ClientSocket &link)
{
    if (delivery.outcome != LinkOutcome::Queued && delivery.outcome != LinkOutcome::InFlight)
        return delivery.outcome;
    // Closing keeps the counts; only a new connection starts them afresh.
    if (const std::optional<uint64_t> acknowledged = link.AcknowledgedOf(delivery.connection);
        acknowledged && *acknowledged >= delivery.end)
        return LinkOutcome::Taken;
    if (link.ConnectionSerial() != delivery.connection || !link.IsConnected())
        return LinkOutcome::Lost;
    return link.BytesWritten() >= delivery.end ? LinkOutcome::InFlight : LinkOutcome::Queued;
}

bool CommandDelivery::Settled() const
{
    for (const StationDelivery &st : station)
        for (const LinkDelivery &l : st.link)
            if (l.outcome == LinkOutcome::InFlight || l.outcome == LinkOutcome::Queued)
                return false;
    return true;
}

CommandDelivery CommandDelivery::Current() const
{
    CommandDelivery now = *this;
    for (int s = 0; s < STATION_COUNT; ++s)
        for (int i = 0; i < PORTS_PER_STATION; ++i) {
            LinkDelivery &l = now.station[s].link[i];
            l.outcome = CurrentOutcome(l, Link(s * PORTS_PER_STATION + i));
        }
    return now;
}

std::optional<QByteArray> CommandDelivery::CommonProgram() const
{
    std::optional<QByteArray> common;
    for (const StationDelivery &st : station) {
        if (!st.meant)
            continue;
        if (common && *common != st.program)
            return std::nullopt;
        common = st.program;
    }
    return common;
}
