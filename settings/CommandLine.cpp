#include "settings/CommandLine.h"

#include "resources/StartTexts.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(text(texts::start::kUsageDescription));
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, text(texts::start::kUsageHelp));
    const QCommandLineOption version(QStringLiteral("version"), text(texts::start::kUsageVersion));
    const QCommandLineOption config(QStringLiteral("config"), text(texts::start::kUsageConfig),
        text(texts::start::kUsageFileValue));
    parser.addOptions({ help, version, config });

    CommandLine result;
    const auto bad = [&](const QString& why) {
        result.outcome = CommandLine::Outcome::BadUsage;
        result.output = why + QLatin1Char('\n') + parser.helpText();
        return result;
    };
    if (!parser.parse(arguments))
        return bad(parser.errorText());
    if (parser.isSet(help)) {
        result.outcome = CommandLine::Outcome::Help;
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = CommandLine::Outcome::Version;
        result.output = QStringLiteral("qm482 %1\n").arg(QStringLiteral(QM482_VERSION));
        return result;
    }
    // A second value would be dropped without a word, and an empty one
    // would quietly mean the program's own file.
    if (parser.values(config).size() > 1)
        return bad(text(texts::start::kUsageTwice).arg(QStringLiteral("config")));
    if (parser.isSet(config) && parser.value(config).isEmpty())
        return bad(text(texts::start::kUsageEmpty).arg(QStringLiteral("config")));
    if (!parser.positionalArguments().isEmpty())
        return bad(
            text(texts::start::kUsageNoArguments).arg(parser.positionalArguments().constFirst()));
    result.config = parser.value(config);
    return result;
}

CommandLine ParseBeforeQt(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine early = ParseCommandLine(arguments);
    if (early.outcome != CommandLine::Outcome::Help
        && early.outcome != CommandLine::Outcome::Version)
        return {};
    // The core application needs no display, and gives the help its name.
    int count = argc;
    const QCoreApplication core(count, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qm482"));
    return ParseCommandLine(QCoreApplication::arguments());
}
