#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringView>

#include <future>
#include <memory>

// Spelling for one open note with enchant: the installed dictionary that suits the user's languages (another
// region of the same language will do), else English. Learned words go to the user's personal word list (enchant keeps
// it under the user's config folder) and survive a restart; ignored words count as correct for this note while it is
// open. Without any dictionary every word counts as correct.
class SpellChecker : public QObject
{
    Q_OBJECT

public:
    struct Word
    {
        qsizetype position = -1;
        qsizetype length = 0;
        bool isValid() const { return position >= 0; }
        bool operator==(const Word &) const = default;
    };

    // An empty language means the user's own.
    explicit SpellChecker(const QString &language = {}, QObject *parent = nullptr);
    ~SpellChecker() override;
    Q_DISABLE_COPY_MOVE(SpellChecker)

    // Starts loading the dictionary of the user's language on a thread of its own, so that the first note does
    // not wait for it. Every note of the user's language shares that dictionary. In the background, the thread
    // gives way to every other: the launch's note is read and its window made first.
    enum class Load
    {
        Soon,
        InBackground
    };
    static void preload(Load load = Load::Soon);

    bool hasDictionary() const;
    // The dictionary's language tag, e.g. "en_US", or empty without one.
    QString language() const;

    bool isCorrect(const QString &word) const;
    QStringList suggestions(const QString &word) const;
    // Adds the word to the personal word list.
    void learn(const QString &word);
    bool isLearned(const QString &word) const;
    // Accepts the word for this note while it is open.
    void ignore(const QString &word);
    bool isIgnored(const QString &word) const;
    // Takes in words learned meanwhile in another note (the personal word list changed on disk). True when
    // there were any, so that marks must be checked again.
    bool refreshWordList();

    // The correction to make without asking, or empty when the dictionary's choice is not clear-cut: the one
    // suggestion that differs from the word by a swap of two neighbouring letters ("teh" → "the"). Words of
    // fewer than three letters, words in capitals and words any installed dictionary knows stay. A capitalised word is
    // looked up in lower case and the correction capitalised again.
    QString correctionFor(const QString &word) const;

    // The words worth checking in one paragraph: runs of letters with inner apostrophes; runs with digits or
    // underscores, parts of addresses, paths and file names, and scripts written without spaces are left out.
    static QList<Word> words(QStringView text);
    // Whether most words around word in text are unknown to the dictionary: the user writes another language there,
    // and nothing there is the dictionary's to correct.
    bool isOtherLanguageAround(QStringView text, Word word) const;
    // The script of the first letter in text; Common when it has none.
    static QChar::Script scriptOf(QStringView text);
    // The word of text that contains offset or ends right at it, or none.
    static Word wordAt(QStringView text, qsizetype offset);
    // The first misspelled word of text that starts at or after from.
    Word nextMisspelling(QStringView text, qsizetype from = 0) const;

Q_SIGNALS:
    // A word now counts as correct (learned or ignored): marks on it should go.
    void wordAccepted(const QString &word);
    // Words learned elsewhere were taken in: every mark may be out of date.
    void wordListChanged();

private:
    struct Dictionary;
    // The user's language's dictionary, once preload() started it.
    static std::shared_future<std::shared_ptr<Dictionary>> &usersDictionary();

    // Takes the preloaded dictionary once it is there, and has every mark checked again.
    void takeDictionaryWhenLoaded();
    QString wordListPath() const;
    QPair<QDateTime, qint64> wordListStamp() const;

    std::shared_ptr<Dictionary> m_shared;
    // Whether m_shared is the user's language's, shared by every note.
    bool m_usersLanguage = false;
    QSet<QString> m_ignored;
    mutable QHash<QString, bool> m_known;
    QPair<QDateTime, qint64> m_wordListStamp;
};
