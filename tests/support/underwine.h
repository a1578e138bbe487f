#pragma once

// Wine runs the Windows build's tests here, and lacks a few functions
// Windows has. A check that needs one is marked as an expected failure under
// Wine only, naming what is missing; on Windows itself it stays strict.

#include <QTest>

// True in a Windows program that runs under Wine (ntdll exports
// wine_get_version there); false on Windows itself and on every other system.
bool RunningUnderWine();

// Before the check that needs what Wine lacks: under Wine the failure of the
// next check is expected (and the test function stops there), elsewhere
// nothing changes.
#define EXPECT_FAIL_UNDER_WINE(what)                                                                                  \
    do {                                                                                                               \
        if (RunningUnderWine())                                                                                        \
            QEXPECT_FAIL("", "Wine 8 lacks this: " what, Abort);                                                       \
    } while (false)
