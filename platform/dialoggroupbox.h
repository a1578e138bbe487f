#pragma once

// The group box of the dialog templates: an etched frame whose top line runs
// through the middle of the font's first text line, with or without a title,
// so titled and untitled boxes of the same geometry line up. The title sits
// on the top line near the left edge. It is a frame only: mouse clicks go to
// what lies beneath it.

#include <QGroupBox>

class DialogGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit DialogGroupBox(const QString &title, QWidget *parent = nullptr);

    // The y of the frame's top line, in the box's coordinates.
    int FrameTop() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
