#include "chart/ChartCommandLine.h"

#include "resources/ChartTexts.h"

#include <QCommandLineParser>

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
    parser.addOptions({ help, version, settings, alarms, dewPoint });
    parser.addPositionalArgument(text(texts::chart::kUsageFileValue),
        text(texts::chart::kUsageRecording),
        QStringLiteral("[%1]").arg(text(texts::chart::kUsageFileValue)));

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
    for (const QCommandLineOption* o : { &settings, &alarms })
        if (parser.values(*o).size() > 1)
            return bad(text(texts::chart::kUsageTwice).arg(o->names().constFirst()));
    for (const QCommandLineOption* o : { &settings, &alarms })
        if (parser.isSet(*o) && parser.value(*o).isEmpty())
            return bad(text(texts::chart::kUsageEmpty).arg(o->names().constFirst()));
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return bad(text(texts::chart::kUsageOneFile));
    result.options.settings = parser.value(settings);
    result.options.alarms = parser.value(alarms);
    result.options.dewPoint = parser.isSet(dewPoint);
    if (!files.isEmpty())
        result.options.file = files.constFirst();
    return result;
}
