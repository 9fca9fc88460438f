// qm482-chart: the recordings of QM482 (binary file or text report) as
// charts on a time axis, following the file while it grows, with the alarm
// limits of the program's settings and the periods of its alarm log.
#include "chart/ChartCommandLine.h"
#include "chart/ChartSettings.h"
#include "chart/ChartWindow.h"
#include "chart/ReportCommand.h"
#include "resources/ChartTexts.h"

#include <QApplication>

#include <cstdio>

namespace {

QtMessageHandler g_qtMessages = nullptr;

// A job has no login session: what Qt says of the runtime folder it then
// makes is no news, and would be mailed with every scheduled report.
void WithoutRuntimeFolderNotes(
    QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    if (g_qtMessages != nullptr)
        g_qtMessages(type, context, message);
    else
        std::fprintf(
            stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    // A report draws on no screen: from a scheduled job there is none.
    const bool offscreen = !ChoosesPlatform(argc, argv) && NeedsNoScreen(argc, argv);
    if (offscreen) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_qtMessages = qInstallMessageHandler(WithoutRuntimeFolderNotes);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qm482-chart"));
    const ChartCommandLine command = ParseChartCommandLine(QApplication::arguments());
    switch (command.outcome) {
    case ChartCommandLine::Outcome::Help:
    case ChartCommandLine::Outcome::Version:
        std::fputs(command.output.toLocal8Bit().constData(), stdout);
        return 0;
    case ChartCommandLine::Outcome::BadUsage:
        std::fputs(command.output.toLocal8Bit().constData(), stderr);
        return 2;
    case ChartCommandLine::Outcome::Run:
        break;
    }
    const ChartOptions& options = command.options;
    // Qt's own options misread before Qt took them: the window would run unseen.
    if (offscreen && !options.headless()) {
        std::fprintf(
            stderr, "%s\n", QString::fromUtf8(texts::chart::kNoDisplay).toLocal8Bit().constData());
        return 1;
    }
    if (options.headless()) {
        QString message;
        const int code = RunReportCommand(options, message);
        if (!message.isEmpty())
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return code;
    }

    ChartWindow window;
    window.resize(1000, 720);
    // Limits of a file named on the command line, else of the program's own
    // file; that one missing, or without alarms, draws nothing.
    AlarmSettings settings;
    const std::string settingsPath = options.settings.isEmpty() ? chart::ProgramSettingsPath()
                                                                : options.settings.toStdString();
    if (chart::LoadAlarmSettingsFrom(settingsPath, settings) != chart::SettingsRead::Loaded
        && !options.settings.isEmpty())
        std::fprintf(stderr, "%s\n",
            QString::fromUtf8(texts::chart::kSettingsUnreadable)
                .arg(options.settings)
                .toLocal8Bit()
                .constData());
    window.SetAlarmSettings(settings);
    window.ShowDewPoint(options.dewPoint);
    window.show();
    if (!options.file.isEmpty())
        window.Open(options.file);
    if (!options.alarms.isEmpty())
        window.OpenAlarmLog(options.alarms);
    return QApplication::exec();
}
