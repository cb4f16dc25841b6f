#pragma once

#include "framework/error.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

// The app's settings as QSettings keeps them, in the user's configuration folder. A backup or dotfile tool may leave
// something at their names that QSettings would wait on for ever (a FIFO at the file, a folder at its lock's name)
// or read for seconds on the window's thread (a huge file). Such settings are not read: the app goes on with its
// defaults, kept for this run only in a private folder of its own.
class SettingsFile
{
    Q_DECLARE_TR_FUNCTIONS(SettingsFile)

public:
    // A settings file is a few kilobytes; one this long is not the app's.
    static constexpr qint64 maxBytes = 4 * 1024 * 1024;

    // Where QSettings keeps the application's settings for this user.
    static QString path();
    // Points the app's settings at path() when it can be read safely, else at an empty folder for this run; the
    // error then says what could not be read and why.
    static std::optional<Error> useIfReadable();
};
