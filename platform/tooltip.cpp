#include "tooltip.h"

#include <QFontMetrics>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

QString WrapToolTipText(const QString &text, int maxWidth)
{
    QStringList out;
    const QFont font = QToolTip::font();
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.beginLayout();
        const qsizetype before = out.size();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(maxWidth);
            out << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        // An empty paragraph is one empty line, whether or not the layout made one.
        if (out.size() == before)
            out << QString();
    }
    return out.join(QLatin1Char('\n'));
}

QString PlainToolTipText(const QString &text)
{
    // QToolTip takes anything that looks like markup for rich text; such a
    // text is handed over escaped, its blanks and line breaks kept.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

void ShowToolTip(const QPoint &globalPos, const QString &text, QWidget *widget, const QRect &rect)
{
    QToolTip::showText(globalPos, PlainToolTipText(WrapToolTipText(text)), widget, rect, TOOLTIP_DISPLAY_MS);
}
