#include "settings/Application.h"
#include "settings/PlatformChoice.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Given to Qt as an option, not put in the environment: programs started
    // from here (the browser, the charting program) make their own choice.
    std::string platform
        = ChoosePlatform([](const char* name) { return std::getenv(name); }, argc, argv);
    std::string platformOption = "-platform";
    std::vector<char*> args(argv, argv + argc);
    if (!platform.empty()) {
        args.push_back(platformOption.data());
        args.push_back(platform.data());
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    QApplication app(count, args.data());
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
