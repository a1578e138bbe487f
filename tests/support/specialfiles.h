#pragma once

// Files that are not what they seem, made for tests on each system. Each
// helper returns an empty text when it made the file, else why it could not.
// Under Wine, which lacks some of these, the Linux side makes them: Windows
// programs see a Linux FIFO as a named pipe and a Linux link as a link.

#include "underwine.h"

#include <QString>

// A FIFO at path.
QString MakeFifo(const QString &path);
// A symbolic link at path to the endless device (/dev/zero).
QString MakeLinkToEndlessDevice(const QString &path);
// A symbolic link at link naming target (relative to the link's folder or
// absolute), as `ln -s` makes it. Qt's QFile::link makes a shortcut file on
// Windows, which no program follows.
QString MakeSymbolicLink(const QString &target, const QString &link);

// Stages a symbolic link for the test, or fails it saying why; under Wine,
// which makes no reparse points, the failure is the expected one.
#define VERIFY_LINK_MADE(target, link)                                                                                \
    do {                                                                                                               \
        const QString whyNot = MakeSymbolicLink(target, link);                                                         \
        if (!whyNot.isEmpty())                                                                                         \
            EXPECT_FAIL_UNDER_WINE("reparse points (CreateSymbolicLinkW reports success and makes nothing, and a "    \
                                   "Linux link looks like the file it names)");                                       \
        QVERIFY2(whyNot.isEmpty(), qPrintable(whyNot));                                                                \
    } while (false)

// A file of the given size holding head, the rest a hole that takes no room.
QString MakeSparseFile(const QString &path, const QByteArray &head, qint64 bytes);

// True when only the current user may read or write the file (mode 0600, or
// a DACL whose entries grant access to the current user alone).
bool IsOwnerOnly(const QString &path);
// Lets everyone read the file (mode 0644, or a DACL entry for Everyone).
QString OpenToOthers(const QString &path);
