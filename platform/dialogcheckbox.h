#pragma once

// The check box of the dialog templates: a click anywhere in its rectangle
// toggles it, and a three-state box cycles unchecked, checked, indeterminate
// (0, 1, 2), as the platform's automatic check boxes do.

#include <QCheckBox>

class DialogCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit DialogCheckBox(const QString &text, QWidget *parent = nullptr);

protected:
    bool hitButton(const QPoint &pos) const override;
    void nextCheckState() override;
};
