#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

// Creating and saving note files. A note is one UTF-8 file named after the day it was made.
class InterruptedSaveLog;

namespace TextFiles {

inline constexpr int maxNotesPerDay = 100000;

// "yyyyMMdd" of the moment's Gregorian day in the local time zone, ASCII digits whatever the locale.
QString dayStamp(const QDateTime &moment);

// "<stamp> Note.txt" for number 1, "<stamp> Note <n>.txt" after it.
QString noteFileName(const QString &stamp, int number);

// Creates the first free note name of the day in folder, exclusively and empty, and returns its URL.
// A name counts as taken when anything is at that path, a dangling link included.
QUrl create(const QUrl &folder, const QDateTime &date = QDateTime::currentDateTime());

// Replaces the note's whole content with the UTF-8 bytes of text, all or nothing.
void save(const QString &text, const QUrl &url, InterruptedSaveLog *interruptedSaves = nullptr);

} // namespace TextFiles
