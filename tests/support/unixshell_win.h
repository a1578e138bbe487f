#pragma once

// For the Windows build's tests under Wine: Wine starts a Linux program as
// it starts a Windows one, so a fault that only the Linux side can stage (a
// mount, a FIFO, a link) is made by a shell command. Windows itself has no
// such shell and the staging fails there, as any unstageable fault does.

#include <QString>

// The Linux path Wine maps a Windows path to; empty outside Wine.
QString UnixPathOf(const QString &windowsPath);

// Runs script with /bin/sh and waits for it (at most 20 s); empty when it
// exited with 0, else what went wrong.
QString RunUnixShell(const QString &script);

// A path quoted for the shell.
QString ShellQuoted(const QString &text);
