#include "dialoggroupbox.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace {

// The title starts this far from the left edge, with this gap on each side.
constexpr int kTitleIndent = 8;
constexpr int kTitleGap = 2;

} // namespace

DialogGroupBox::DialogGroupBox(const QString &title, QWidget *parent) : QGroupBox(title, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

int DialogGroupBox::FrameTop() const
{
    return fontMetrics().height() / 2 - 1;
}

void DialogGroupBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // An etched line, drawn here: the styles' own group frame moves down by
    // the title's height when there is a title.
    qDrawShadeRect(&p, rect().adjusted(0, FrameTop(), 0, 0), palette(), true, 1, 0);

    if (title().isEmpty())
        return;
    const QFontMetrics fm = fontMetrics();
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic;
    const QRect text = style()->itemTextRect(fm, QRect(kTitleIndent + kTitleGap, 0, width(), fm.height()), flags,
                                             isEnabled(), title());
    p.fillRect(text.adjusted(-kTitleGap, 0, kTitleGap, 0), palette().brush(backgroundRole()));
    style()->drawItemText(&p, text, flags, palette(), isEnabled(), title(), foregroundRole());
}
