#pragma once

// A main window started in a fresh working directory (its own "settings.conf" and "log.txt"),
// optionally connected to a pseudo-terminal whose master side the test drives.

#include "probe.h"
#include "ptypair.h"

#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using P = MainWindowProbe;

// The write journal, recent profiles and remembered menus of every window a test process
// opens go to a home of its own: never the user's, nor another suite's running beside it.
inline void isolateUserFolders()
{
    static QTemporaryDir home;
    static const bool done = [] {
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        return true;
    }();
    Q_UNUSED(done);
}

class WindowFixture
{
public:
    explicit WindowFixture(const QByteArray &settingsConf = QByteArray(), bool writeSettings = true)
        : oldCwd(QDir::currentPath())
    {
        isolateUserFolders();
        QDir::setCurrent(dir.path());
        if (writeSettings) {
            QFile conf(dir.filePath(QStringLiteral("settings.conf")));
            conf.open(QIODevice::WriteOnly);
            conf.write(settingsConf);
        }
        window = std::make_unique<MainWindow>();
    }
    // Starts the window in a folder the test has prepared (an unwritable log, a junk settings
    // file); log() then reads nothing.
    struct Folder { QString path; };
    explicit WindowFixture(const Folder &folder) : oldCwd(QDir::currentPath())
    {
        QDir::setCurrent(folder.path);
        window = std::make_unique<MainWindow>();
    }
    ~WindowFixture()
    {
        window.reset();
        QDir::setCurrent(oldCwd);
    }

    MainWindow &w() { return *window; }

    // Opens the pseudo-terminal's slave end through the window's own connect button.
    bool connectPty()
    {
        if (!pty.isValid())
            return false;
        window->selectPort(pty.slavePath());
        P::pbConnect(*window)->click();
        return P::port(*window)->isOpen();
    }

    QByteArray log() const
    {
        QFile f(dir.filePath(QStringLiteral("log.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Writes bytes from the "controller" and waits until the window has taken them in.
    void reply(const QByteArray &bytes)
    {
        const int before = log().size();
        pty.write(bytes);
        QTRY_VERIFY_WITH_TIMEOUT(log().size() > before, 2000);
    }

    // The same, one byte per serial batch.
    void replyBytewise(const QByteArray &bytes)
    {
        for (char c : bytes)
            reply(QByteArray(1, c));
    }

    QTemporaryDir dir;
    PtyPair pty;

private:
    QString oldCwd;
    std::unique_ptr<MainWindow> window;
};

// Periods long enough that no tick interferes with a test that drives the window by hand.
inline QByteArray quietSettings()
{
    return "[settings]\nZaprosTimeMs=60000\nZaprosSimTimeMs=60000\nZaprosResiverTimeMs=60000\n";
}
