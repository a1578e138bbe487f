#pragma once

// Real network faults for link tests: this thread in a network namespace of
// its own (needs root), whose loopback can be taken down so that packets
// between the panel and a station are dropped while both sockets stay open.
// Each helper returns an empty text when it did what it says, else why not.

#include <QString>

// Moves this thread into a new network namespace with its loopback up.
QString EnterPrivateNetwork();
// Takes this namespace's loopback down (every packet on it dropped) or up.
QString SetLoopbackUp(bool up);
