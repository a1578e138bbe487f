#pragma once

// The short code a tablet pairs with: 8 characters from an alphabet without
// look-alikes (no 0/O, 1/I/L), valid for a while and taken once. It stands
// in the printed address instead of a token, so what a browser's history
// keeps of that address opens nothing once the tablet has paired.

#include <QByteArray>
#include <QDeadlineTimer>

#include <chrono>

class PairingCode {
public:
    static constexpr int LENGTH = 8;
    static constexpr std::chrono::milliseconds VALIDITY = std::chrono::minutes(10);
    static constexpr char ALPHABET[] = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";

    explicit PairingCode(std::chrono::milliseconds validity = VALIDITY);

    // A fresh code, valid from now; the one before it no longer is.
    void Renew();
    QByteArray Text() const { return m_code; }
    // True while the code may still be taken: not used, not expired.
    bool Usable() const;
    bool Used() const { return m_used; }
    // Milliseconds the code stays usable, 0 once it is not.
    qint64 RemainingMs() const;
    // Takes the code when given is it (case and spaces aside) and it is still
    // usable; afterwards it is used. Compared in time that tells nothing.
    bool Take(const QByteArray &given);
    // Same test without taking it (a failure to keep the token lets the code stay).
    bool Matches(const QByteArray &given) const;
    static QByteArray Normalized(const QByteArray &given);

private:
    std::chrono::milliseconds m_validity;
    QByteArray m_code;
    QDeadlineTimer m_deadline;
    bool m_used = false;
};
