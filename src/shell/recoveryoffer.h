#pragma once

#include "framework/error.h"
#include "framework/recoverystore.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>

// At launch: the texts that could not be saved before the app last ended, offered one by one next to their notes.
// The note itself is never written here; a recovered text goes into a new file beside it, which the user then
// compares and keeps as they like. The questions wait in windows of their own that stop nothing, all at once, and
// each answer is acted on as it comes.
class RecoveryOffer : public QObject
{
    Q_OBJECT

public:
    enum class Choice
    {
        OpenRecoveredText,
        Discard,
        Later
    };
    using Answer = std::function<void(Choice)>;
    // Asks what to do with one kept text (its bytes as kept) and calls answer once, now or later. Replaceable so
    // that tests answer without a window.
    using Question = std::function<void(const RecoveryStore::Entry &entry, const QByteArray &text, Answer answer)>;

    explicit RecoveryOffer(RecoveryStore &store, QObject *parent = nullptr);

    void setQuestion(Question question);
    // Where a recovered text goes when it cannot be written beside its note, in order (the notes folder, the
    // Desktop).
    void setFallbackFolders(const QStringList &folders);

    // Asks about every kept text and returns how many questions are open. Each recovered file is reported by
    // recovered(). A text whose file cannot be made stays kept, and its error goes to failed(); so does the news of
    // a text that had to go elsewhere. All of them are also gathered in opened() and errors().
    int offer();
    int pending() const { return m_pending; }
    const QList<QUrl> &opened() const { return m_opened; }
    const QList<Error> &errors() const { return m_errors; }

    // "<note name> (Recovered).txt" beside the note, or "(Recovered 2)" and on when that is taken; the note's name
    // is shortened where the whole would not fit in a file name.
    static QString recoveredName(const QString &noteFileName, int number);
    // Makes the first free recovered name beside originalPath, exclusively, and writes text into it durably through
    // what it opened; when that folder refuses (or something else is put at the name meanwhile), in each fallback
    // folder in turn. Throws the first folder's Error when all refuse; no
    // file is left behind on failure.
    static QUrl writeRecoveredFile(const QString &originalPath, const QByteArray &text,
                                   const QStringList &fallbackFolders = {});

Q_SIGNALS:
    void recovered(const QUrl &file);
    void failed(const Error &error);
    // Every question has its answer.
    void finished();

private:
    void act(const RecoveryStore::Entry &entry, const QByteArray &text, Choice choice);
    void fail(const Error &error);
    static QUrl writeRecoveredFileIn(const QString &folder, const QString &noteName, const QByteArray &text);
    void noteElsewhere(const QString &originalPath, const QUrl &file);

    RecoveryStore &m_store;
    Question m_question;
    QStringList m_fallbackFolders;
    QList<QUrl> m_opened;
    QList<Error> m_errors;
    int m_pending = 0;
};
