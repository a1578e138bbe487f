#pragma once

// What became of one command: for every station it was meant for, what each
// configured link of that station did with the record. Returned by the
// sending path; the wire bytes are the same with or without it.

#include "configmodel.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdint>
#include <optional>

class ClientSocket;

enum class LinkOutcome : uint8_t {
    None,         // the port is not configured
    Taken,        // reached: the station's machine acknowledged the whole record
    InFlight,     // handed to the system, not acknowledged yet
    Queued,       // the record waits in the link's queue behind earlier ones
    Dropped,      // the queue was full: the record was dropped whole
    NotConnected, // the link was not connected
    Failed,       // the connection broke while the record was handed over
    Lost,         // the connection ended before the record was acknowledged
};

struct LinkDelivery {
    LinkOutcome outcome = LinkOutcome::None;
    int error = 0;           // Failed: the socket error
    uint32_t port = 0;
    uint64_t connection = 0; // InFlight, Queued: the connection it went to
    uint64_t end = 0;        // InFlight, Queued: the connection's byte count once it is out
};

struct StationDelivery {
    bool meant = false; // the command was built for this station
    QByteArray program; // run commands: the name it was sent (windows-1250)
    LinkDelivery link[PORTS_PER_STATION];

    int Configured() const;
    int Count(LinkOutcome outcome) const;
};

class CommandDelivery {
public:
    int32_t code = 0; // 0: nothing was built
    int32_t brightness = 0;
    QDateTime sentAt;
    StationDelivery station[STATION_COUNT];

    bool Built() const { return code != 0; }
    // The program of a run when every station it was meant for got the same
    // one; nothing when they differ or no station was meant.
    std::optional<QByteArray> CommonProgram() const;
    // The delivery as it stands now: a record the station's machine has
    // acknowledged since counts as taken, one whose connection ended before
    // that as lost.
    CommandDelivery Current() const;
    // The same for one record on this link.
    static LinkOutcome CurrentOutcome(const LinkDelivery &delivery, const ClientSocket &link);
    // True while a link's record may still be acknowledged or lost.
    bool Settled() const;
};
