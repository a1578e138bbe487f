#include "boundtestdialog.h"

#include <QTest>

bool BoundTestDialog::Open()
{
    if (!Create(TemplateId(), nullptr))
        return false;
    show();
    activateWindow();
    changes.clear();
    return QTest::qWaitForWindowActive(this);
}
