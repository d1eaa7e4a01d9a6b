// controller-sim: a ТАЛВЕР controller with its radio module on a pseudo-terminal (or on a
// given port), printing every request and reply like a protocol analyser.

#include "ptyserver.h"
#include "simdevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    // Nothing to do if the pipe is full: a quit is already on its way.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// "12:00:01.234 -> 21 01 01  |!..|": time, direction, hex bytes and the bytes as text.
QString analyserLine(const char *direction, const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes)
        text += (c >= 0x20 && c < 0x7F) ? QLatin1Char(c) : QLatin1Char('.');
    return QStringLiteral("%1 %2 %3  |%4|")
        .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")),
             QLatin1String(direction),
             QString::fromLatin1(bytes.toHex(' ')),
             text);
}

QString describeFaults(const sim::Faults &f)
{
    QStringList parts;
    if (f.silent)
        parts << QStringLiteral("silent");
    if (f.dropEvery > 0)
        parts << QStringLiteral("drop every %1").arg(f.dropEvery);
    if (f.errorAtWrites)
        parts << QStringLiteral("error at writes");
    if (f.splitChunk > 0)
        parts << QStringLiteral("split into %1-byte pieces %2 ms apart").arg(f.splitChunk).arg(f.splitPauseMs);
    if (f.delayMs > 0)
        parts << QStringLiteral("delay %1 ms").arg(f.delayMs);
    if (f.garbage)
        parts << QStringLiteral("garbage");
    if (f.garbageFirst > 0)
        parts << QStringLiteral("garbage before the first %1 replies").arg(f.garbageFirst);
    if (f.noTerminator)
        parts << QStringLiteral("no terminator");
    if (f.pauseInsideMs > 0)
        parts << QStringLiteral("pause of %1 ms inside each reply").arg(f.pauseInsideMs);
    if (f.ignoreAt)
        parts << QStringLiteral("radio module ignores AT commands");
    if (f.dropWrites > 0)
        parts << QStringLiteral("drop the first %1 write frames").arg(f.dropWrites);
    if (f.swapSilenceMs > 0)
        parts << QStringLiteral("a fresh device %1 ms after the identification that follows a settings write")
                     .arg(f.swapSilenceMs);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

int fail(const QString &message)
{
    std::fprintf(stderr, "controller-sim: %s\n", message.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("controller-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates a ТАЛВЕР controller and its radio module on a serial line."));
    parser.addHelpOption();
    const QCommandLineOption typeOption(QStringLiteral("type"),
        QStringLiteral("Controller kind: transmitter (default) or receiver."), QStringLiteral("kind"),
        QStringLiteral("transmitter"));
    const QCommandLineOption versionOption(QStringLiteral("version"),
        QStringLiteral("Firmware version number (default 296)."), QStringLiteral("N"), QStringLiteral("296"));
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Serve this existing port instead of a new pseudo-terminal."),
        QStringLiteral("path"));
    const QCommandLineOption linkOption(QStringLiteral("link"),
        QStringLiteral("Make a symbolic link to the port at this path (removed at exit)."),
        QStringLiteral("path"));
    const QCommandLineOption silentOption(QStringLiteral("silent"),
        QStringLiteral("Answer nothing."));
    const QCommandLineOption dropOption(QStringLiteral("drop"),
        QStringLiteral("Lose every Nth request."), QStringLiteral("N"));
    const QCommandLineOption errorOption(QStringLiteral("error-at-writes"),
        QStringLiteral("Answer radio register writes with ERROR."));
    const QCommandLineOption splitOption(QStringLiteral("split"),
        QStringLiteral("Send replies in 3-byte pieces 20 ms apart."));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
        QStringLiteral("Wait this long before each reply."), QStringLiteral("ms"));
    const QCommandLineOption garbageOption(QStringLiteral("garbage"),
        QStringLiteral("Put line noise before each reply."));
    const QCommandLineOption garbageFirstOption(QStringLiteral("garbage-first"),
        QStringLiteral("Put line noise before the first N replies only."), QStringLiteral("N"));
    const QCommandLineOption noTerminatorOption(QStringLiteral("no-terminator"),
        QStringLiteral("Leave out the last line end of text replies and the identity's \">\"."));
    const QCommandLineOption pauseInsideOption(QStringLiteral("pause-inside"),
        QStringLiteral("Send each reply in two halves this long apart."), QStringLiteral("ms"));
    const QCommandLineOption ignoreAtOption(QStringLiteral("ignore-at"),
        QStringLiteral("The radio module ignores AT commands (no answer, no change)."));
    const QCommandLineOption dropWritesOption(QStringLiteral("drop-writes"),
        QStringLiteral("Lose the first N settings or table write frames."), QStringLiteral("N"));
    const QCommandLineOption swapOption(QStringLiteral("swap"),
        QStringLiteral("After a settings write, the next identification request starts a silence this long, "
                       "then a fresh device in the start-up state answers."), QStringLiteral("ms"));
    parser.addOptions({typeOption, versionOption, portOption, linkOption, silentOption, dropOption,
                       errorOption, splitOption, delayOption, garbageOption, garbageFirstOption,
                       noTerminatorOption, pauseInsideOption, ignoreAtOption, dropWritesOption, swapOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    const QString kind = parser.value(typeOption).toLower();
    if (kind != QLatin1String("transmitter") && kind != QLatin1String("receiver"))
        return fail(QStringLiteral("--type must be transmitter or receiver"));
    bool ok = false;
    const uint version = parser.value(versionOption).toUInt(&ok);
    if (!ok || version > 0xFFFF)
        return fail(QStringLiteral("--version must be a number from 0 to 65535"));

    sim::Faults faults;
    faults.silent = parser.isSet(silentOption);
    faults.errorAtWrites = parser.isSet(errorOption);
    faults.garbage = parser.isSet(garbageOption);
    if (parser.isSet(dropOption)) {
        faults.dropEvery = parser.value(dropOption).toInt(&ok);
        if (!ok || faults.dropEvery < 1)
            return fail(QStringLiteral("--drop must be a positive number"));
    }
    if (parser.isSet(delayOption)) {
        faults.delayMs = parser.value(delayOption).toInt(&ok);
        if (!ok || faults.delayMs < 0)
            return fail(QStringLiteral("--delay must be a number of milliseconds"));
    }
    // A count or a time in milliseconds: a whole number from `min` up.
    const auto number = [&](const QCommandLineOption &option, int min, int *value) {
        if (!parser.isSet(option))
            return true;
        *value = parser.value(option).toInt(&ok);
        return ok && *value >= min;
    };
    if (!number(garbageFirstOption, 1, &faults.garbageFirst))
        return fail(QStringLiteral("--garbage-first must be a positive number"));
    if (!number(pauseInsideOption, 1, &faults.pauseInsideMs))
        return fail(QStringLiteral("--pause-inside must be a positive number of milliseconds"));
    if (!number(dropWritesOption, 1, &faults.dropWrites))
        return fail(QStringLiteral("--drop-writes must be a positive number"));
    if (!number(swapOption, 1, &faults.swapSilenceMs))
        return fail(QStringLiteral("--swap must be a positive number of milliseconds"));
    faults.noTerminator = parser.isSet(noTerminatorOption);
    faults.ignoreAt = parser.isSet(ignoreAtOption);
    if (parser.isSet(splitOption)) {
        faults.splitChunk = 3;
        faults.splitPauseMs = 20;
    }

    sim::Device device(kind == QLatin1String("receiver") ? sim::Device::Receiver
                                                          : sim::Device::Transmitter,
                       quint16(version));
    sim::PtyServer *server = parser.isSet(portOption)
        ? sim::PtyServer::forPort(&device, parser.value(portOption), faults, &app)
        : new sim::PtyServer(&device, faults, &app);
    if (!server->isValid())
        return fail(QStringLiteral("cannot open %1: %2")
                        .arg(server->slavePath().isEmpty() ? QStringLiteral("a pseudo-terminal")
                                                           : server->slavePath(),
                             server->errorString()));

    // SIGINT and SIGTERM end the event loop, so the link is removed on the way out.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return fail(QStringLiteral("cannot set up signal handling"));
    auto *signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action{};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    const QString linkPath = parser.value(linkOption);
    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.isSymLink())
            QFile::remove(linkPath);
        else if (existing.exists())
            return fail(QStringLiteral("%1 exists and is not a link").arg(linkPath));
        if (!QFile::link(server->slavePath(), linkPath))
            return fail(QStringLiteral("cannot make the link %1").arg(linkPath));
    }

    printLine(QStringLiteral("Port: %1").arg(server->slavePath()));
    if (!linkPath.isEmpty())
        printLine(QStringLiteral("Link: %1").arg(linkPath));
    printLine(QStringLiteral("Device: %1 %2").arg(QString::fromLatin1(device.identity()),
                                                 parser.isSet(portOption)
                                                     ? QStringLiteral("(serving the port)")
                                                     : QStringLiteral("(open the port above)")));
    printLine(QStringLiteral("Faults: %1").arg(describeFaults(faults)));

    int swaps = 0;
    QObject::connect(server, &sim::PtyServer::requestReceived, &app, [&device, &swaps](const QByteArray &frame) {
        printLine(analyserLine("->", frame));
        if (device.swaps() != swaps)
            printLine(QStringLiteral("Swaps: %1").arg(swaps = device.swaps()));
    });
    QObject::connect(server, &sim::PtyServer::replySent, &app,
                     [](const QByteArray &bytes) { printLine(analyserLine("<-", bytes)); });
    QObject::connect(server, &sim::PtyServer::lineClosed, &app, [] {
        printLine(QStringLiteral("The port was closed."));
        QCoreApplication::exit(1);
    });

    const int result = app.exec();

    // Only our own link goes: another run may have taken the path over meanwhile.
    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == server->slavePath())
        QFile::remove(linkPath);
    return result;
}
