#include "unixshell_win.h"

#include "underwine.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <windows.h>

namespace {

constexpr int kWaitMs = 20000;
constexpr int kPollMs = 10;

} // namespace

QString UnixPathOf(const QString &windowsPath)
{
    using UnixName = char *(CDECL *)(const wchar_t *);
    const auto convert =
        reinterpret_cast<UnixName>(reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return QString();
    const std::wstring native = QDir::toNativeSeparators(QDir(windowsPath).absolutePath()).toStdWString();
    char *unix = convert(native.c_str());
    if (!unix)
        return QString();
    const QString result = QString::fromUtf8(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

QString ShellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString RunUnixShell(const QString &script)
{
    if (!RunningUnderWine())
        return QStringLiteral("no Linux shell outside Wine to stage this with");
    // Wine gives no handle for a Linux child, so the script leaves its exit
    // status in a file that is waited for.
    QTemporaryDir dir;
    const QString status = dir.filePath(QStringLiteral("status"));
    const QString unixStatus = UnixPathOf(status);
    if (!dir.isValid() || unixStatus.isEmpty())
        return QStringLiteral("no folder for the shell's exit status");
    const QString wrapped = QStringLiteral("( %1 ) >/dev/null 2>&1; echo $? > %2.part && mv %2.part %2").arg(script, ShellQuoted(unixStatus));
    QString escaped = wrapped;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    std::wstring command = (QStringLiteral("Z:\\bin\\sh -c \"") + escaped + QLatin1Char('"')).toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return QStringLiteral("cannot start /bin/sh (error %1)").arg(GetLastError());
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    const QDeadlineTimer deadline(kWaitMs);
    while (!QFile::exists(status)) {
        if (deadline.hasExpired())
            return QStringLiteral("/bin/sh did not finish: %1").arg(script);
        QThread::msleep(kPollMs);
    }
    QFile file(status);
    const QByteArray code = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("?");
    return code == "0" ? QString() : QStringLiteral("%1 failed with status %2").arg(script, QString::fromLatin1(code));
}
