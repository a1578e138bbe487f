#include "cplaxonapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plaxon"));
    CPlaxonApp app;
    app.InitInstance();
    return 0;
}
