#include "platform/WindowRaise.h"
#include "resources/StartTexts.h"
#include "settings/Application.h"
#include "settings/CommandLine.h"
#include "settings/InstanceLock.h"
#include "settings/InstanceServer.h"
#include "settings/PlatformChoice.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsTable.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// How long a second start waits for the running instance to answer.
constexpr std::chrono::seconds kAnswerPatience(5);

void Print(std::FILE* to, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
}

void PrintLine(const char* pattern, const std::string& path)
{
    Print(stderr, QString::fromUtf8(pattern).arg(QFile::decodeName(path.c_str())) + '\n');
}

// The launcher's token that lets a window take the focus: Wayland's
// xdg-activation, else X's startup notification.
QString LaunchToken()
{
    for (const char* name : { "XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID" }) {
        if (QString token = qEnvironmentVariable(name); !token.isEmpty())
            return token;
    }
    return {};
}

int Answer(const CommandLine& command)
{
    const bool bad = command.outcome == CommandLine::Outcome::BadUsage;
    Print(bad ? stderr : stdout, command.output);
    return bad ? 2 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Without a display Qt cannot start: these answer first.
    if (const CommandLine early = ParseBeforeQt(argc, argv);
        early.outcome != CommandLine::Outcome::Run)
        return Answer(early);
    // Read before Qt starts: its X platform takes the startup id away.
    const QString launchToken = LaunchToken();

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
    const CommandLine command = ParseCommandLine(QApplication::arguments());
    if (command.outcome != CommandLine::Outcome::Run)
        return Answer(command);

    const std::string settingsPath = command.config.isEmpty()
        ? SettingsLocation::Locate(kSettingsFileName, SettingsLocation::FromProcess())
        : QFile::encodeName(command.config).toStdString();
    // One instance per settings file: a second start brings the first one's
    // window to the front and ends, as a second open of one document does.
    InstanceLock lock(InstanceLock::RuntimeDirectory(std::getenv("XDG_RUNTIME_DIR")),
        InstanceLock::CanonicalPath(settingsPath));
    if (!settingsPath.empty()) {
        switch (lock.Acquire(InstanceServer::Request(launchToken), kAnswerPatience)) {
        case InstanceLock::Outcome::Answered:
            return 0;
        case InstanceLock::Outcome::Unanswered:
            PrintLine(texts::start::kInstanceSilent, settingsPath);
            return 1;
        case InstanceLock::Outcome::NoPlace:
            PrintLine(texts::start::kInstanceUnguarded, settingsPath);
            break;
        case InstanceLock::Outcome::Primary:
            break;
        }
    }
    QPointer<QWidget> window;
    InstanceServer server(lock.listener(), [&window](const QString& token) {
        if (window)
            BringToFront(*window, token);
    });

    // Ties the window to its menu entry (the taskbar icon under Wayland).
    QApplication::setDesktopFileName(QStringLiteral("org.qm482.QM482"));
    // The program speaks Polish whatever the desktop's language: so do the
    // choosers and buttons that come from Qt.
    QTranslator qtTexts;
    if (qtTexts.load(
            QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Application application;
    if (!command.config.isEmpty())
        application.UseSettingsFile(settingsPath);
    application.SetWindowHook([&window](QWidget& shown) { window = &shown; });
    application.Run();
    if (application.settingsRefused()) {
        PrintLine(texts::start::kConfigUnusable, settingsPath);
        return 1;
    }
    return 0;
}
