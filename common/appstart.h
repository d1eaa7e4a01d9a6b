#pragma once

// What both programs do before and right after their application object exists: read the
// command line (so that --help and --version work on a console without a display) and load
// Qt's Russian translation, so that Qt's own buttons read "Да" and "Нет".

#include <QCommandLineOption>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QCoreApplication;

class CommandLine
{
public:
    CommandLine(const QString &program, const QString &version, const QString &description);

    void addOption(const QCommandLineOption &option);

    // Reads the arguments, the program's path first. False when the program must end at
    // once, with the help, the version or an error, which finish() then prints (help and
    // version on standard output, errors on standard error), returning the exit code.
    bool read(const QStringList &arguments);
    int finish() const;

    // False, with the error for finish(), when `option` is given without `needed`.
    bool requireWith(const QCommandLineOption &option, const QCommandLineOption &needed);
    // False, with the error for finish(), unless `option` (when given) is a whole number from
    // `low` to `high`.
    bool requireNumber(const QCommandLineOption &option, int low, int high);
    // False, with the error for finish(), when both are given.
    bool refuseTogether(const QCommandLineOption &one, const QCommandLineOption &other);

    bool isSet(const QCommandLineOption &option) const;
    QString value(const QCommandLineOption &option) const;

    QString helpText() const;

    static QStringList arguments(int argc, char *argv[]);

private:
    bool fail(const QString &error);

    QString program;
    QString version;
    QString description;
    QList<QCommandLineOption> options;   // ours, as the help lists them
    QHash<QString, QString> found;       // first name of every option read -> its value
    QString text;
    int code = 0;
};

// The folder a program works in with --user-folder: $XDG_DATA_HOME/talver/<program>, where
// the menu entry starts it rather than in the user's home.
QString userFolderOf(const QString &program);
// --port NAME: the port both programs choose at start, by name or path.
QCommandLineOption startPortOption();
// Makes the folder if it is missing and works in it; false, said on standard error, when it
// cannot.
bool enterUserFolder(const QString &folder);

// Loads qtbase_ru from Qt's translations folder into the application. False when the file
// is missing (Debian's qttranslations5-l10n is not installed): Qt's texts stay English.
bool installQtTranslation(QCoreApplication *app);
