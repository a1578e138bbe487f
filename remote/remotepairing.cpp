#include "remotepairing.h"

RemotePairing::RemotePairing(QString devicesPath, std::chrono::milliseconds validity, QObject *parent)
    : QObject(parent), m_code(validity), m_devices(std::move(devicesPath))
{
}

RemotePairing::Result RemotePairing::Pair(const QByteArray &code)
{
    Result result;
    if (!m_code.Matches(code)) {
        result.reason = QStringLiteral("the pairing code is wrong, used or expired");
        return result;
    }
    QString why;
    const QByteArray token = m_devices.Issue(&why);
    if (token.isEmpty()) {
        result.status = Result::Status::Failed;
        result.reason = QStringLiteral("the panel cannot keep the device token: %1").arg(why);
        return result;
    }
    m_code.Take(code);
    result.status = Result::Status::Paired;
    result.token = token;
    emit Changed();
    return result;
}

void RemotePairing::RenewCode()
{
    m_code.Renew();
    emit Changed();
}

void RemotePairing::EnsureUsableCode()
{
    if (!m_code.Usable())
        RenewCode();
}

bool RemotePairing::ForgetDevices(QString *error)
{
    const bool saved = m_devices.ForgetAll(error);
    emit DevicesForgotten();
    emit Changed();
    return saved;
}
