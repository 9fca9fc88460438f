#include "settings/Application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qm482"));
    // Ties the window to its menu entry (the taskbar icon under Wayland).
    QApplication::setDesktopFileName(QStringLiteral("org.qm482.QM482"));
    // The program speaks Polish whatever the desktop's language: so do the
    // choosers and buttons that come from Qt.
    QTranslator qtTexts;
    if (qtTexts.load(
            QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Application application;
    application.Run();
    return 0;
}
