#include "chart/ChartCommandLine.h"

#include "resources/ChartTexts.h"

#include <QCommandLineParser>

#include <utility>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

ChartCommandLine ParseChartCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(text(texts::chart::kUsageDescription));
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, text(texts::chart::kUsageHelp));
    const QCommandLineOption version(QStringLiteral("version"), text(texts::chart::kUsageVersion));
    const QCommandLineOption settings(QStringLiteral("settings"),
        text(texts::chart::kUsageSettings), text(texts::chart::kUsageFileValue));
    const QCommandLineOption alarms(QStringLiteral("alarms"), text(texts::chart::kUsageAlarms),
        text(texts::chart::kUsageFileValue));
    const QCommandLineOption dewPoint(
        QStringLiteral("dew-point"), text(texts::chart::kUsageDewPoint));
    const QCommandLineOption report(
        QStringLiteral("report"), text(texts::chart::kUsageReport), QStringLiteral("OUT.pdf"));
    const QCommandLineOption dailyCsv(
        QStringLiteral("daily-csv"), text(texts::chart::kUsageDailyCsv), QStringLiteral("OUT.csv"));
    const QCommandLineOption from(QStringLiteral("from"), text(texts::chart::kUsageFrom),
        text(texts::chart::kUsageDateValue));
    const QCommandLineOption to(
        QStringLiteral("to"), text(texts::chart::kUsageTo), text(texts::chart::kUsageDateValue));
    const QCommandLineOption title(QStringLiteral("title"), text(texts::chart::kUsageTitle),
        text(texts::chart::kUsageTitleValue));
    parser.addOptions(
        { help, version, settings, alarms, dewPoint, report, dailyCsv, from, to, title });
    parser.addPositionalArgument(text(texts::chart::kUsageFileValue),
        text(texts::chart::kUsageRecording),
        QStringLiteral("[%1...]").arg(text(texts::chart::kUsageFileValue)));

    ChartCommandLine result;
    const auto bad = [&](const QString& why) {
        result.outcome = ChartCommandLine::Outcome::BadUsage;
        result.output = why + QLatin1Char('\n') + parser.helpText();
        return result;
    };
    if (!parser.parse(arguments))
        return bad(parser.errorText());
    if (parser.isSet(help)) {
        result.outcome = ChartCommandLine::Outcome::Help;
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = ChartCommandLine::Outcome::Version;
        result.output = QStringLiteral("qm482-chart %1\n").arg(QStringLiteral(QM482_VERSION));
        return result;
    }
    // One value each: a second one would be dropped without a word.
    for (const QCommandLineOption* o :
        { &settings, &alarms, &report, &dailyCsv, &from, &to, &title })
        if (parser.values(*o).size() > 1)
            return bad(text(texts::chart::kUsageTwice).arg(o->names().constFirst()));
    for (const QCommandLineOption* o : { &settings, &alarms, &report, &dailyCsv })
        if (parser.isSet(*o) && parser.value(*o).isEmpty())
            return bad(text(texts::chart::kUsageEmpty).arg(o->names().constFirst()));
    ChartOptions& options = result.options;
    options.report = parser.value(report);
    options.dailyCsv = parser.value(dailyCsv);
    options.title = parser.value(title);
    for (const auto& [option, date] :
        { std::pair { &from, &options.from }, std::pair { &to, &options.to } }) {
        if (!parser.isSet(*option))
            continue;
        *date = QDate::fromString(parser.value(*option), Qt::ISODate);
        if (!date->isValid())
            return bad(text(texts::chart::kUsageBadDate).arg(option->names().constFirst()));
    }
    if (options.from.isValid() && options.to.isValid() && options.from > options.to)
        return bad(text(texts::chart::kUsageDatesReversed));
    const QStringList files = parser.positionalArguments();
    if (options.headless()) {
        if (files.isEmpty())
            return bad(text(texts::chart::kUsageReportFiles));
    } else {
        if (files.size() > 1)
            return bad(text(texts::chart::kUsageOneFile));
        if (parser.isSet(from) || parser.isSet(to) || parser.isSet(title))
            return bad(text(texts::chart::kUsageReportOnly));
    }
    options.settings = parser.value(settings);
    options.alarms = parser.value(alarms);
    options.dewPoint = parser.isSet(dewPoint);
    options.files = files;
    if (!files.isEmpty())
        options.file = files.constFirst();
    return result;
}
