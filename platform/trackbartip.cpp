#include "trackbartip.h"

#include "tooltip.h"

#include <QHelpEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

namespace {

// What QSlider's own (protected) initStyleOption fills, for the thumb's place.
QStyleOptionSlider SliderOption(const QSlider *slider)
{
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.subControls = QStyle::SC_None;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = slider->orientation();
    opt.maximum = slider->maximum();
    opt.minimum = slider->minimum();
    opt.tickPosition = slider->tickPosition();
    opt.tickInterval = slider->tickInterval();
    opt.upsideDown = slider->orientation() == Qt::Horizontal
        ? slider->invertedAppearance() != (opt.direction == Qt::RightToLeft)
        : !slider->invertedAppearance();
    opt.direction = Qt::LeftToRight;
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    if (slider->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    return opt;
}

// QToolTip puts a tip this far right of and below the point it is given.
const QPoint kTipOffset(2, 16);

} // namespace

TrackbarTip::TrackbarTip(QSlider *slider) : QObject(slider), m_slider(slider)
{
    slider->installEventFilter(this);
    connect(slider, &QSlider::sliderPressed, this, [this] { ShowAtThumb(m_slider->sliderPosition()); });
    connect(slider, &QSlider::sliderMoved, this, &TrackbarTip::ShowAtThumb);
    // The release itself hides the tip (QToolTip closes on any mouse button).
}

void TrackbarTip::ShowAtThumb(int value)
{
    const QStyleOptionSlider opt = SliderOption(m_slider);
    const QRect thumb = m_slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, m_slider);
    const QPoint below = m_slider->orientation() == Qt::Horizontal ? QPoint(thumb.left(), thumb.bottom() + 2)
                                                                   : QPoint(thumb.right() + 2, thumb.top());
    // No rectangle: the tip stays up while the drag leaves the trackbar.
    QToolTip::showText(m_slider->mapToGlobal(below) - kTipOffset, QString::number(value), m_slider, QRect(),
                       TOOLTIP_DISPLAY_MS);
}

bool TrackbarTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_slider && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), QString::number(m_slider->value()), m_slider, m_slider->rect(),
                           TOOLTIP_DISPLAY_MS);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
