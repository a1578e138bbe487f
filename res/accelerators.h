#pragma once

// Accelerator table 140 of the main window: function keys to commands.

#include <Qt>

constexpr int ACCELERATOR_TABLE = 140;

struct Accelerator {
    Qt::Key key;
    int command;
};

constexpr int ID_PC1_TOGGLE = 32771;
constexpr int ID_PC2_TOGGLE = 32772;
constexpr int ID_PC3_TOGGLE = 32773;
constexpr int ID_PC4_TOGGLE = 32774;
constexpr int ID_BRIGHT_DOWN = 32775;
constexpr int ID_BRIGHT_UP = 32776;
constexpr int ID_BRIGHT_SEND = 32777;

constexpr Accelerator ACCELERATORS_140[] = {
    {Qt::Key_F1, ID_PC1_TOGGLE}, {Qt::Key_F2, ID_PC2_TOGGLE}, {Qt::Key_F3, ID_PC3_TOGGLE},
    {Qt::Key_F4, ID_PC4_TOGGLE}, {Qt::Key_F5, ID_BRIGHT_DOWN}, {Qt::Key_F6, ID_BRIGHT_UP},
    {Qt::Key_F8, ID_BRIGHT_SEND},
};
