#pragma once

// Tooltips whose text is computed when asked for (on QEvent::ToolTip): shown
// for 20000 ms and wrapped at 600 pixels, as the program's tooltips are, and
// always as plain text.

#include <QString>

class QPoint;
class QRect;
class QWidget;

constexpr int TOOLTIP_MAX_WIDTH = 600;
constexpr int TOOLTIP_DISPLAY_MS = 20000;

// The text with line breaks inserted where the tooltip font passes maxWidth.
QString WrapToolTipText(const QString &text, int maxWidth = TOOLTIP_MAX_WIDTH);
// The text as QToolTip must be given it to show it as plain text, literally.
QString PlainToolTipText(const QString &text);
// Shows the wrapped text at globalPos for widget; it hides when the mouse
// leaves rect (widget coordinates; an empty rect means the whole widget).
void ShowToolTip(const QPoint &globalPos, const QString &text, QWidget *widget, const QRect &rect);
