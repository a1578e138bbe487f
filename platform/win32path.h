#pragma once

// Windows path helpers shared by the Windows implementations of the file
// services; only they include this.

#include <QString>

#include <string>

// The native wide-character form of a Qt path (backslashes).
std::wstring Win32Path(const QString &path);

// True when the path names a device or a pipe rather than a file on a disk:
// a reserved device name in any folder and with any extension ("CON",
// "nul.txt", "COM1", "LPT3"), or a device-namespace path ("\\.\pipe\x",
// "\\?\GLOBALROOT\..."). Drive paths in the "\\?\" form are files.
bool Win32NamesDevice(const QString &path);

// A Windows error code as a short English text without a trailing line break.
QString Win32ErrorText(unsigned long error);
