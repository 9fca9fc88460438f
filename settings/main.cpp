#include "settings/Application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qm482"));
    QApplication::setDesktopFileName(QStringLiteral("qm482"));
    Application application;
    application.Run();
    return 0;
}
