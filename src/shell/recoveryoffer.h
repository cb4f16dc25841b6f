#pragma once

#include "framework/error.h"
#include "framework/recoverystore.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

// At launch: the texts that could not be saved before the app last ended, offered one by one next to their notes.
// The note itself is never written here; a recovered text goes into a new file beside it, which the user then
// compares and keeps as they like.
class RecoveryOffer
{
    Q_DECLARE_TR_FUNCTIONS(RecoveryOffer)

public:
    enum class Choice
    {
        OpenRecoveredText,
        Discard,
        Later
    };
    // Asks what to do with one kept text (its bytes as kept). Replaceable so that tests answer without a dialog.
    using Question = std::function<Choice(const RecoveryStore::Entry &entry, const QByteArray &text)>;

    explicit RecoveryOffer(RecoveryStore &store);

    void setQuestion(Question question);
    // Where a recovered text goes when it cannot be written beside its note, in order (the notes folder, the
    // Desktop).
    void setFallbackFolders(const QStringList &folders);

    // Asks about every kept text. Returns the recovered files to open, in the store's order. A text whose file
    // cannot be made stays kept, and its error is in errors(); so is the news of a text that had to go elsewhere.
    QList<QUrl> offer();
    const QList<Error> &errors() const { return m_errors; }

    // "<note name> (Recovered).txt" beside the note, or "(Recovered 2)" and on when that is taken; the note's name
    // is shortened where the whole would not fit in a file name.
    static QString recoveredName(const QString &noteFileName, int number);
    // Makes the first free recovered name beside originalPath, exclusively, and writes text into it durably; when
    // that folder refuses, in each fallback folder in turn. Throws the first folder's Error when all refuse; no
    // file is left behind on failure.
    static QUrl writeRecoveredFile(const QString &originalPath, const QByteArray &text,
                                   const QStringList &fallbackFolders = {});

private:
    static QUrl writeRecoveredFileIn(const QString &folder, const QString &noteName, const QByteArray &text);
    void noteElsewhere(const QString &originalPath, const QUrl &file);

    RecoveryStore &m_store;
    Question m_question;
    QStringList m_fallbackFolders;
    QList<Error> m_errors;
};
