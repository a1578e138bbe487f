#include "senderratelimit.h"

#include <algorithm>

namespace {

constexpr double MS_PER_SECOND = 1000.0;

} // namespace

SenderRateLimit::SenderRateLimit() : SenderRateLimit(Limits{}) {}

SenderRateLimit::SenderRateLimit(const Limits &limits) : m_limits(limits)
{
    m_total.tokens = limits.totalBurst;
}

void SenderRateLimit::Refill(Bucket &bucket, double rate, double burst, qint64 nowMs)
{
    bucket.tokens = std::min(burst, bucket.tokens + double(nowMs - bucket.at) * rate / MS_PER_SECOND);
    bucket.at = nowMs;
}

bool SenderRateLimit::Take(const QHostAddress &sender, qint64 nowMs)
{
    Refill(m_total, m_limits.totalRate, m_limits.totalBurst, nowMs);
    auto it = m_senders.find(sender);
    if (it == m_senders.end()) {
        if (m_senders.size() >= MAX_SENDERS) {
            // Forget the senders whose buckets are full again: they were quiet.
            m_senders.removeIf([&](auto &entry) {
                Refill(entry.value(), m_limits.rate, m_limits.burst, nowMs);
                return entry.value().tokens >= m_limits.burst;
            });
        }
        if (m_senders.size() < MAX_SENDERS)
            it = m_senders.insert(sender, Bucket{m_limits.burst, nowMs});
    }
    if (it != m_senders.end()) {
        Refill(*it, m_limits.rate, m_limits.burst, nowMs);
        if (it->tokens >= 1 && m_total.tokens >= 1) {
            it->tokens -= 1;
            m_total.tokens -= 1;
            return true;
        }
    }
    ++m_summary.dropped;
    if (!m_droppedFrom.contains(sender) && m_droppedFrom.size() < MAX_SENDERS) {
        if (m_droppedFrom.isEmpty())
            m_summary.first = sender;
        m_droppedFrom.insert(sender);
    }
    m_summary.senders = int(m_droppedFrom.size());
    return false;
}

SenderRateLimit::Summary SenderRateLimit::TakeSummary()
{
    const Summary summary = m_summary;
    m_summary = {};
    m_droppedFrom.clear();
    return summary;
}
