#pragma once

#include <QSettings>

// The technician's choices (menus, the monitor's place, recent profiles) live in the user's
// configuration, never beside the program: ~/.config/talver/configurator.conf.
struct UserSettings : QSettings
{
    UserSettings() : QSettings(QSettings::UserScope, QStringLiteral("talver"), QStringLiteral("configurator")) {}
};
