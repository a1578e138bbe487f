#pragma once

// How many OSC messages the senders may have heard: a token bucket per
// sender address (rate a second, burst at once) and one for all senders
// together, so that a flood from one address, or from many forged ones,
// cannot have the panel send record after record. What is over is dropped
// and counted for one summary at a time.

#include <QHash>
#include <QHostAddress>
#include <QSet>

class SenderRateLimit {
public:
    static constexpr double RATE = 20;
    static constexpr double BURST = 10;
    static constexpr double TOTAL_RATE = 60;
    static constexpr double TOTAL_BURST = 20;
    // Senders tracked at once; past it, a new sender is dropped until one of
    // them has been quiet long enough to be forgotten.
    static constexpr int MAX_SENDERS = 256;

    struct Limits {
        double rate = RATE;
        double burst = BURST;
        double totalRate = TOTAL_RATE;
        double totalBurst = TOTAL_BURST;
    };

    struct Summary {
        int dropped = 0;
        int senders = 0;    // how many senders had messages dropped
        QHostAddress first; // the first of them
    };

    SenderRateLimit();
    explicit SenderRateLimit(const Limits &limits);

    // Whether a message from sender at nowMs (a steady clock) may be heard.
    bool Take(const QHostAddress &sender, qint64 nowMs);
    // What was dropped since the last summary; starts the next one.
    Summary TakeSummary();

private:
    struct Bucket {
        double tokens = 0;
        qint64 at = 0; // when tokens was last brought up to date
    };

    static void Refill(Bucket &bucket, double rate, double burst, qint64 nowMs);

    Limits m_limits;
    QHash<QHostAddress, Bucket> m_senders;
    Bucket m_total;
    Summary m_summary;
    QSet<QHostAddress> m_droppedFrom;
};
