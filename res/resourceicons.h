#pragma once

// Icons of the program's resources by their identifiers, loaded once and shared.

#include <QIcon>

QIcon ResourceIcon(int id);
