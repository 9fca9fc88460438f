#include "chart/ReportCommand.h"

#include "chart/ChartSettings.h"
#include "chart/FileFollower.h"
#include "chart/PeriodReport.h"
#include "chart/ReportFigures.h"
#include "resources/ChartTexts.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cstring>
#include <string_view>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

std::int64_t wallOf(const QDate& date)
{
    return WallSeconds({ date.year(), date.month(), date.day(), 0, 0, 0 });
}

// Whole or not at all: a report cut short by a full disk is no report.
bool save(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool matches(std::string_view argument, std::string_view option)
{
    return argument == option
        || (argument.size() > option.size() && argument.substr(0, option.size()) == option
            && argument[option.size()] == '=');
}

} // namespace

bool NeedsNoScreen(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ChartCommandLine command = ParseChartCommandLine(arguments);
    if (command.outcome == ChartCommandLine::Outcome::Run)
        return command.options.headless();
    // The help or what was wrong, printed without the display that is not there; Qt's
    // own options, which this reading does not know, still reach a display when there is one.
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool ChoosesPlatform(int argc, const char* const* argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (matches(argv[i], "-platform") || matches(argv[i], "--platform"))
            return true;
    return false;
}

int RunReportCommand(const ChartOptions& options, QString& message)
{
    ReportContent content;
    content.made = QDateTime::currentDateTime();
    content.title = options.title;
    content.dewPoint = options.dewPoint;
    // Limits of a file named on the command line, else of the program's own.
    const std::string settingsPath = options.settings.isEmpty() ? chart::ProgramSettingsPath()
                                                                : options.settings.toStdString();
    if (chart::LoadAlarmSettingsFrom(settingsPath, content.limits) != chart::SettingsRead::Loaded
        && !options.settings.isEmpty()) {
        message = text(texts::chart::kCannotRead).arg(options.settings);
        return 1;
    }

    ReportRecordings recordings;
    QString failed;
    if (!recordings.Read(options.files, options.dewPoint, failed)) {
        message = text(texts::chart::kCannotRead).arg(failed);
        return 1;
    }
    content.series = &recordings.series();
    content.sources = recordings.sources();

    if (!options.alarms.isEmpty()) {
        AlarmLogReading log;
        FileFollower reader(QFileInfo(options.alarms).absoluteFilePath().toStdString(), log);
        if (reader.Poll() == FileFollower::Result::Failed) {
            message = text(texts::chart::kCannotRead).arg(options.alarms);
            return 1;
        }
        content.alarmLog = true;
        content.alarms = log.Periods(std::nullopt);
    }

    // Whole local days: from the first day's midnight to the last day's end.
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (!RecordedSpan(recordings.series(), first, last))
        first = last = wallOf(QDate::currentDate());
    content.from = options.from.isValid() ? wallOf(options.from) : chart::DayOf(first);
    content.to
        = (options.to.isValid() ? wallOf(options.to) : chart::DayOf(last)) + chart::kDaySeconds - 1;

    if (!options.report.isEmpty()) {
        const QByteArray pdf = RenderReportPdf(content);
        if (pdf.isEmpty() || !save(options.report, pdf)) {
            message = text(texts::chart::kCannotWrite).arg(options.report);
            return 1;
        }
    }
    if (!options.dailyCsv.isEmpty()) {
        std::vector<chart::SeriesOfMeter> meters;
        for (const auto& [serial, series] : recordings.series())
            meters.push_back({ serial, &series });
        const std::string csv = chart::DailyCsv(meters, content.from, content.to);
        if (!save(options.dailyCsv, QByteArray(csv.data(), static_cast<qsizetype>(csv.size())))) {
            message = text(texts::chart::kCannotWrite).arg(options.dailyCsv);
            return 1;
        }
    }
    return 0;
}
