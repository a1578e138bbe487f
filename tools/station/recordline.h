#pragma once

// The one output line plaxon-station prints per record.

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// "HH:mm:ss.zzz  port P  peer A:Q  CMD_NAME  argument", with notes appended
// for anything a panel should never send (unknown code, a brightness out of
// range, a name without terminator, non-zero unused bytes). record must hold
// exactly 104 bytes.
QString FormatRecordLine(const QDateTime &when, quint16 port, const QString &peer, QByteArrayView record);
