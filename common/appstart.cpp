#include "appstart.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>

namespace {

// Qt's own options, taken by the application object: they are read here only so that they
// are not refused as unknown.
const char *const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowtitle", "title", "qwindowicon", "icon", "display", "name", "session", "style",
    "stylesheet", "qmljsdebugger", "fontengine"};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

const QCommandLineOption &helpOption()
{
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                           QStringLiteral("Показать эту справку и выйти."));
    return option;
}

const QCommandLineOption &versionOption()
{
    static const QCommandLineOption option({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Показать версию программы и выйти."));
    return option;
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

CommandLine::CommandLine(const QString &program, const QString &version, const QString &description)
    : program(program)
    , version(version)
    , description(description)
{
    options << helpOption() << versionOption();
}

void CommandLine::addOption(const QCommandLineOption &option)
{
    options << option;
}

QStringList CommandLine::arguments(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

bool CommandLine::read(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words ("-platform offscreen"), so ours are read the same way.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption &option : qAsConst(options))
        parser.addOption(option);
    for (const char *name : kQtOptionsWithValue)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char *name : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    found.clear();
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return fail(QStringLiteral("неизвестный параметр «%1»").arg(dashed(unknown.first())));
        // The parser's only other complaint is an option given without its value.
        const QRegularExpressionMatch quoted = QRegularExpression(QStringLiteral("'(.*)'")).match(parser.errorText());
        return fail(QStringLiteral("не указано значение параметра «%1»").arg(quoted.captured(1)));
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("лишний аргумент «%1»").arg(parser.positionalArguments().first()));

    for (const QCommandLineOption &option : qAsConst(options)) {
        if (parser.isSet(option))
            found.insert(option.names().first(), option.valueName().isEmpty() ? QString() : parser.value(option));
    }
    if (isSet(helpOption())) {
        text = helpText();
        code = 0;
        return false;
    }
    if (isSet(versionOption())) {
        text = QStringLiteral("%1 %2\n").arg(program, version);
        code = 0;
        return false;
    }
    return true;
}

bool CommandLine::fail(const QString &error)
{
    text = QStringLiteral("%1: %2.\nСправка: %1 --help\n").arg(program, error);
    code = 1;
    return false;
}

int CommandLine::finish() const
{
    std::FILE *stream = code == 0 ? stdout : stderr;
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
    return code;
}

bool CommandLine::requireWith(const QCommandLineOption &option, const QCommandLineOption &needed)
{
    if (!isSet(option) || isSet(needed))
        return true;
    return fail(QStringLiteral("параметр «%1» действует только вместе с «%2»")
                    .arg(dashed(option.names().first()), dashed(needed.names().first())));
}

bool CommandLine::requireNumber(const QCommandLineOption &option, int low, int high)
{
    bool ok = false;
    const int n = value(option).toInt(&ok);
    if (!isSet(option) || (ok && n >= low && n <= high))
        return true;
    return fail(QStringLiteral("значение параметра «%1» должно быть числом от %2 до %3, а не «%4»")
                    .arg(dashed(option.names().first())).arg(low).arg(high).arg(value(option)));
}

bool CommandLine::refuseTogether(const QCommandLineOption &one, const QCommandLineOption &other)
{
    if (!isSet(one) || !isSet(other))
        return true;
    return fail(QStringLiteral("параметры «%1» и «%2» не действуют вместе")
                    .arg(dashed(one.names().first()), dashed(other.names().first())));
}

bool CommandLine::isSet(const QCommandLineOption &option) const
{
    return found.contains(option.names().first());
}

QString CommandLine::value(const QCommandLineOption &option) const
{
    return found.value(option.names().first());
}

QString CommandLine::helpText() const
{
    QStringList left;
    int width = 0;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << dashed(name);
        QString column = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            column += QStringLiteral(" <%1>").arg(option.valueName());
        width = qMax(width, column.size());
        left << column;
    }
    QString help = QStringLiteral("Использование: %1 [параметры]\n%2\n\nПараметры:\n").arg(program, description);
    // Descriptions wrapped to a console's 80 columns, under their own column.
    const int indent = width + 4;
    for (int i = 0; i < options.size(); ++i) {
        QString line = QStringLiteral("  %1  ").arg(left.at(i).leftJustified(width));
        for (const QString &word : options.at(i).description().split(QLatin1Char(' '))) {
            if (word.isEmpty())
                continue;
            if (line.size() > indent && line.size() + 1 + word.size() > 79) {
                help += line + QLatin1Char('\n');
                line = QString(indent, QLatin1Char(' '));
            } else if (line.size() > indent) {
                line += QLatin1Char(' ');
            }
            line += word;
        }
        help += line + QLatin1Char('\n');
    }
    help += QStringLiteral("\nПараметры Qt (-platform, -style и другие) принимаются как обычно.\n");
    return help;
}

bool installQtTranslation(QCoreApplication *app)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}

QCommandLineOption startPortOption()
{
    return QCommandLineOption(QStringLiteral("port"), QStringLiteral("Выбрать порт при запуске (имя или путь)."),
                              QStringLiteral("ИМЯ"));
}

QString userFolderOf(const QString &program)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/talver/")
           + program;
}

bool enterUserFolder(const QString &folder)
{
    if (QDir().mkpath(folder) && QDir::setCurrent(folder))
        return true;
    const QString error = QStringLiteral("Не удалось открыть папку %1").arg(folder);
    std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
    return false;
}
