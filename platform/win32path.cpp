#include "win32path.h"

#include <QDir>
#include <QStringList>

#include <windows.h>

namespace {

// Device names the system reserves in every folder.
bool ReservedDeviceName(QString base)
{
    // The extension and trailing dots and spaces do not count: "nul.txt" and "CON " are the devices.
    const qsizetype dot = base.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        base.truncate(dot);
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    base = base.toUpper();
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (fixed.contains(base))
        return true;
    if (base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))))
        return base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9');
    return false;
}

} // namespace

std::wstring Win32Path(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

bool Win32NamesDevice(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\.\\")) || native.startsWith(QLatin1String("\\\\?\\"))) {
        // "\\?\C:\..." is a long drive path; every other form in these namespaces is a device.
        const QString rest = native.mid(4);
        const bool drivePath = rest.size() >= 3 && rest[0].isLetter() && rest[1] == QLatin1Char(':')
                               && rest[2] == QLatin1Char('\\');
        return !(native[2] == QLatin1Char('?') && drivePath);
    }
    const qsizetype slash = native.lastIndexOf(QLatin1Char('\\'));
    return ReservedDeviceName(native.mid(slash + 1));
}

QString Win32ErrorText(unsigned long error)
{
    wchar_t *buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                   reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = n ? QString::fromWCharArray(buffer, int(n)).trimmed() : QString();
    if (buffer)
        LocalFree(buffer);
    if (text.isEmpty())
        text = QStringLiteral("error %1").arg(error);
    return text;
}
