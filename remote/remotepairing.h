#pragma once

// Pairing a tablet: the operator's one-time code (printed at start, shown in
// the Remote control window) is exchanged once for a device token of the
// tablet's own, which the page keeps and presents from then on.

#include "devicetokens.h"
#include "pairingcode.h"

#include <QObject>

class RemotePairing : public QObject {
    Q_OBJECT
public:
    struct Result {
        enum class Status { Paired, Refused, Failed };
        Status status = Status::Refused;
        QByteArray token; // Paired: the tablet's device token
        QString reason;
    };

    explicit RemotePairing(QString devicesPath, std::chrono::milliseconds validity = PairingCode::VALIDITY,
                           QObject *parent = nullptr);

    bool Load(QString *error) { return m_devices.Load(error); }
    // Refused for a wrong, used or expired code; Failed when the token could
    // not be kept (the code then stays usable for another try).
    Result Pair(const QByteArray &code);

    const PairingCode &Code() const { return m_code; }
    void RenewCode();
    // A new code when the one shown can no longer be taken.
    void EnsureUsableCode();
    const DeviceTokens &Devices() const { return m_devices; }
    bool ForgetDevices(QString *error);

signals:
    // The code was taken or renewed, or the devices were forgotten.
    void Changed();
    // Device tokens given before no longer open anything.
    void DevicesForgotten();

private:
    PairingCode m_code;
    DeviceTokens m_devices;
};
