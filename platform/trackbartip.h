#pragma once

// The value tip of a trackbar with the tooltips style: while the thumb is
// dragged, the value shows beside the thumb; hovering over the trackbar shows
// the current value. It is a child of the slider and lives as long as it does.

#include <QObject>

class QSlider;

class TrackbarTip : public QObject {
    Q_OBJECT
public:
    explicit TrackbarTip(QSlider *slider);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Shows value just below the thumb (the thumb at the slider's current
    // position).
    void ShowAtThumb(int value);

    QSlider *m_slider;
};
