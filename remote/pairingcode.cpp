#include "pairingcode.h"

#include "requestgate.h"

#include <QRandomGenerator>

PairingCode::PairingCode(std::chrono::milliseconds validity) : m_validity(validity)
{
    Renew();
}

void PairingCode::Renew()
{
    constexpr int symbols = int(sizeof ALPHABET) - 1;
    QByteArray code(LENGTH, '\0');
    for (char &c : code)
        c = ALPHABET[QRandomGenerator::system()->bounded(symbols)];
    m_code = code;
    m_deadline = QDeadlineTimer(m_validity);
    m_used = false;
}

bool PairingCode::Usable() const
{
    return !m_used && !m_deadline.hasExpired();
}

qint64 PairingCode::RemainingMs() const
{
    return Usable() ? m_deadline.remainingTime() : 0;
}

QByteArray PairingCode::Normalized(const QByteArray &given)
{
    // People type what they read: lower case, or the code in two halves.
    QByteArray code;
    for (const char c : given)
        if (c != ' ' && c != '-')
            code.append(c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c);
    return code;
}

bool PairingCode::Matches(const QByteArray &given) const
{
    return Usable() && RequestGate::ConstantTimeEqual(Normalized(given), m_code);
}

bool PairingCode::Take(const QByteArray &given)
{
    if (!Matches(given))
        return false;
    m_used = true;
    return true;
}
