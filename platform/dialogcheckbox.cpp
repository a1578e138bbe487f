#include "dialogcheckbox.h"

DialogCheckBox::DialogCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
}

bool DialogCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void DialogCheckBox::nextCheckState()
{
    if (!isTristate()) {
        QCheckBox::nextCheckState();
        return;
    }
    switch (checkState()) {
    case Qt::Unchecked: setCheckState(Qt::Checked); break;
    case Qt::Checked: setCheckState(Qt::PartiallyChecked); break;
    case Qt::PartiallyChecked: setCheckState(Qt::Unchecked); break;
    }
}
