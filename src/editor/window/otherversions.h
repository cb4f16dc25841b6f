#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class ConflictCopyWatch;
class PlainTextDocument;
class NoteMessages;

// The other versions of a note that lie beside it: the copies a sync engine leaves when another device changed the
// note at the same time, and theirs kept by answering which version to keep. The note's window tells of each, one
// at a time, and offers to compare and open it; nothing here ever deletes a copy.
class OtherVersions : public QObject
{
    Q_OBJECT

public:
    // Opens a file in a window of its own, as the app does.
    using Opener = std::function<void(const QString &path)>;

    // Tells of the copies in messages, which outlive parent.
    OtherVersions(NoteMessages *messages, PlainTextDocument *note, Opener open, QObject *parent);

private:
    void found(const QString &copy);
    void gone(const QString &copy);
    void kept(const QString &copy, bool show);
    void showNext();
    void show(const QString &copy, const QString &difference);
    void compare(const QString &copy);
    void open(const QString &copy);

    NoteMessages *m_messages;
    PlainTextDocument *m_note;
    Opener m_open;
    ConflictCopyWatch *m_watch;
    // Copies still to be told, after the one the bar shows.
    QStringList m_waiting;
    QString m_shown;
};
