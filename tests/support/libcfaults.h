#pragma once

// Faults in the C library's file calls, staged by defining fsync, rename and
// write in the test executable itself: the program's own code calls these,
// which pass every call on to the real ones unless a fault is armed.
// Link libcfaults.cpp straight into the test executable, not into a library.

enum class LibcFault {
    None,
    FsyncFails,           // every fsync fails with EIO
    FsyncKills,           // the process is killed (SIGKILL) in its first fsync, as by a kill mid-save
    RenameFails,          // every rename fails with EIO
    WriteStopsPartWay,    // the first write to a regular file is short, later ones fail with ENOSPC
    WriteShortAndEintr,   // writes to regular files alternate EINTR and 7-byte short writes
};

struct LibcCalls {
    int fsync = 0;
    int rename = 0;
    int write = 0; // writes to regular files only
};

// Arms a fault and clears the call counts; calls are counted only while armed.
void ArmLibcFault(LibcFault fault);
// Passes every call through again; returns what was counted while armed.
LibcCalls DisarmLibcFault();
