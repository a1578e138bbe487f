#pragma once

// Configuration and byte helpers shared by the link tests.

#include "connectionmanager.h"

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

// Every setting and button back to zero.
void ClearConfiguration();
// Station s with its ENABLE flag, ADDRESS text and ports (SOCKET text and PORT list).
void ConfigureStation(int s, bool enable, const char *address, std::initializer_list<uint16_t> ports);
// A loopback port that nobody listens on, so connects to it are refused.
uint16_t RefusingPort();
// The 104 wire bytes of a record: code, then argument, then zeros.
QByteArray RecordBytes(int32_t code, const QByteArray &argument = {});
// For QTRY_* conditions that must keep the links moving: runs one tick.
bool Ticked(ConnectionManager &manager);
