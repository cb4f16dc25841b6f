#include "editor/spelling/spellchecker.h"

#include "editor/spelling/installeddictionaries.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTimer>

#include <enchant.h>

#include <chrono>
#include <future>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// How often a note that opened before the dictionary was loaded looks whether it is there.
constexpr int loadPollMs = 5;

template<typename Future> bool isReady(const Future &future)
{
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// Past this many distinct words the cache of answers starts over, so a huge note cannot grow it without bound.
constexpr qsizetype maxCachedWords = 100000;
// Shorter words are never corrected without asking.
constexpr qsizetype minimumCorrectedLength = 3;
// How many words on each side of a typed word tell which language the user writes there.
constexpr qsizetype languageContextWords = 6;

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == QChar(0x2019);
}

// Scripts written without spaces between words: a run of them is a phrase, not a word to check.
bool isUnspacedScript(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Khmer:
    case QChar::Script_Myanmar:
    case QChar::Script_Tibetan:
        return true;
    default:
        return false;
    }
}

// Characters that glue a word into an address, a path or a tag.
bool isGlue(QChar c)
{
    return c == u'@' || c == u'/' || c == u'\\' || c == u'_' || c == u'#' || c == u'~' || c == u'=';
}

bool differsBySwap(const QString &word, const QString &candidate)
{
    if (word.size() != candidate.size())
        return false;
    qsizetype first = -1;
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (word.at(i) != candidate.at(i)) {
            first = i;
            break;
        }
    }
    if (first < 0 || first + 1 >= word.size())
        return false;
    if (word.at(first) != candidate.at(first + 1) || word.at(first + 1) != candidate.at(first))
        return false;
    return QStringView(word).mid(first + 2) == QStringView(candidate).mid(first + 2);
}

QString capitalized(const QString &word)
{
    return word.isEmpty() ? word : word.left(1).toUpper() + word.mid(1);
}

} // namespace

// One opened dictionary: made on any thread, then used on the main thread only.
struct SpellChecker::Dictionary
{
    EnchantBroker *broker = nullptr;
    EnchantDict *dictionary = nullptr;
    QString language;
    // The script the dictionary's language is written in.
    QChar::Script script = QChar::Script_Latin;
    // The personal word list as this dictionary last read or wrote it.
    QPair<QDateTime, qint64> wordListStamp;
    // Every other installed language, opened when a correction first asks: loading them at launch would slow
    // every start for a question most sessions never ask.
    std::unique_ptr<InstalledDictionaries> others;

    Dictionary() = default;
    Q_DISABLE_COPY_MOVE(Dictionary)
    ~Dictionary()
    {
        if (dictionary)
            enchant_broker_free_dict(broker, dictionary);
        if (broker)
            enchant_broker_free(broker);
    }

    // The installed dictionary that suits the preferred languages best; without any, one that has none.
    static std::shared_ptr<Dictionary> open(const QStringList &preferred)
    {
        auto opened = std::make_shared<Dictionary>();
        opened->broker = enchant_broker_init();
        if (!opened->broker)
            return opened;
        const QString language =
            InstalledDictionaries::choose(preferred, InstalledDictionaries::languages(opened->broker));
        if (language.isEmpty() ||
            !(opened->dictionary = enchant_broker_request_dict(opened->broker, language.toUtf8().constData())))
            return opened;
        opened->language = language;
        const QChar::Script script = scriptOf(QLocale(language).nativeLanguageName());
        opened->script = script == QChar::Script_Common ? QChar::Script_Latin : script;
        opened->wordListStamp = stampOf(language);
        return opened;
    }

    static QString wordListPathOf(const QString &language)
    {
        // Where enchant keeps the personal word list of a language: the user's config folder.
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/enchant/") +
               language + QStringLiteral(".dic");
    }

    static QPair<QDateTime, qint64> stampOf(const QString &language)
    {
        const QFileInfo info(wordListPathOf(language));
        if (!info.exists())
            return {};
        return {info.lastModified(), info.size()};
    }
};

std::shared_future<std::shared_ptr<SpellChecker::Dictionary>> &SpellChecker::usersDictionary()
{
    static std::shared_future<std::shared_ptr<Dictionary>> dictionary;
    return dictionary;
}

void SpellChecker::preload(Load load)
{
    auto &dictionary = usersDictionary();
    if (dictionary.valid())
        return;
    // In the background its 40 ms of parsing no longer takes a processor from the reading of a long note and the
    // making of its window (niceness 19, the least share); the words count as correct until it is there anyway.
    dictionary = std::async(std::launch::async, [load] {
#ifdef __linux__
                     if (load == Load::InBackground)
                         ::setpriority(PRIO_PROCESS, ::gettid(), 19);
#else
                     Q_UNUSED(load);
#endif
                     return Dictionary::open(InstalledDictionaries::preferredLanguages());
                 }).share();
    // Let go with the application, while enchant's modules are still there to close.
    qAddPostRoutine([] { usersDictionary() = {}; });
}

SpellChecker::SpellChecker(const QString &language, QObject *parent)
    : QObject(parent)
    , m_usersLanguage(language.isEmpty())
{
    if (m_usersLanguage) {
        // Preloaded at launch, the dictionary may still be loading: the first note shows without waiting for it,
        // its words counting as correct until it is there. Without a preload it opens here as it always did.
        const bool preloaded = usersDictionary().valid();
        preload();
        if (preloaded && !isReady(usersDictionary())) {
            m_shared = std::make_shared<Dictionary>();
            takeDictionaryWhenLoaded();
        } else {
            m_shared = usersDictionary().get();
        }
    } else {
        m_shared = Dictionary::open({language});
    }
    m_wordListStamp = m_shared->wordListStamp;
}

void SpellChecker::takeDictionaryWhenLoaded()
{
    auto *poll = new QTimer(this);
    poll->setInterval(loadPollMs);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (!usersDictionary().valid()) {
            poll->deleteLater(); // the application is ending
        } else if (isReady(usersDictionary())) {
            poll->deleteLater();
            m_shared = usersDictionary().get();
            m_wordListStamp = m_shared->wordListStamp;
            m_known.clear();
            Q_EMIT wordListChanged();
        }
    });
    poll->start();
}

bool SpellChecker::hasDictionary() const
{
    return m_shared->dictionary != nullptr;
}

QString SpellChecker::language() const
{
    return m_shared->language;
}

QString SpellChecker::wordListPath() const
{
    return Dictionary::wordListPathOf(language());
}

QPair<QDateTime, qint64> SpellChecker::wordListStamp() const
{
    return Dictionary::stampOf(language());
}

bool SpellChecker::refreshWordList()
{
    if (!hasDictionary())
        return false;
    const QPair<QDateTime, qint64> stamp = wordListStamp();
    if (stamp == m_wordListStamp)
        return false;
    m_wordListStamp = stamp;
    // A word learned in another note went through the shared dictionary, which has it already. Otherwise (another
    // program changed the list) the dictionary is opened afresh: enchant notices a changed list only by its time
    // in whole seconds, and opening always reads it.
    if (m_shared->wordListStamp != stamp && m_usersLanguage && usersDictionary().get()->wordListStamp == stamp)
        m_shared = usersDictionary().get(); // another note opened it afresh already
    if (m_shared->wordListStamp != stamp) {
        m_shared = Dictionary::open({language()});
        if (m_usersLanguage) {
            std::promise<std::shared_ptr<Dictionary>> fresh;
            fresh.set_value(m_shared);
            usersDictionary() = fresh.get_future().share();
        }
    }
    m_known.clear();
    Q_EMIT wordListChanged();
    return true;
}

SpellChecker::~SpellChecker() = default;

QChar::Script SpellChecker::scriptOf(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                               ? QChar::surrogateToUcs4(text[i], text[i + 1])
                               : text[i].unicode();
        if (QChar::isLetter(c))
            return QChar::script(c);
    }
    return QChar::Script_Common;
}

bool SpellChecker::isCorrect(const QString &word) const
{
    if (!hasDictionary() || word.isEmpty() || m_ignored.contains(word))
        return true;
    // A word in another script (Hebrew in an English note) is not the dictionary's to judge.
    if (const QChar::Script script = scriptOf(word); script != QChar::Script_Common && script != m_shared->script)
        return true;
    if (const auto known = m_known.constFind(word); known != m_known.cend())
        return *known;
    const QByteArray utf8 = word.toUtf8();
    // A failed check (negative) marks nothing: an underline must mean a misspelling.
    const bool correct = enchant_dict_check(m_shared->dictionary, utf8.constData(), utf8.size()) <= 0;
    if (m_known.size() >= maxCachedWords)
        m_known.clear();
    m_known.insert(word, correct);
    return correct;
}

QStringList SpellChecker::suggestions(const QString &word) const
{
    QStringList result;
    if (!hasDictionary() || word.isEmpty())
        return result;
    const QByteArray utf8 = word.toUtf8();
    size_t count = 0;
    char **list = enchant_dict_suggest(m_shared->dictionary, utf8.constData(), utf8.size(), &count);
    if (!list)
        return result;
    for (size_t i = 0; i < count; ++i)
        result << QString::fromUtf8(list[i]);
    enchant_dict_free_string_list(m_shared->dictionary, list);
    return result;
}

void SpellChecker::learn(const QString &word)
{
    if (!hasDictionary() || word.isEmpty())
        return;
    const QByteArray utf8 = word.toUtf8();
    enchant_dict_add(m_shared->dictionary, utf8.constData(), utf8.size());
    m_wordListStamp = wordListStamp();
    m_shared->wordListStamp = m_wordListStamp;
    m_known.insert(word, true);
    Q_EMIT wordAccepted(word);
}

bool SpellChecker::isLearned(const QString &word) const
{
    if (!hasDictionary() || word.isEmpty())
        return false;
    const QByteArray utf8 = word.toUtf8();
    return enchant_dict_is_added(m_shared->dictionary, utf8.constData(), utf8.size()) != 0;
}

void SpellChecker::ignore(const QString &word)
{
    if (word.isEmpty())
        return;
    m_ignored.insert(word);
    Q_EMIT wordAccepted(word);
}

bool SpellChecker::isIgnored(const QString &word) const
{
    return m_ignored.contains(word);
}

QString SpellChecker::correctionFor(const QString &word) const
{
    // Short words and words in capitals are too often abbreviations, names or codes to change unasked.
    if (word.size() < minimumCorrectedLength || word == word.toUpper() || isCorrect(word) || isLearned(word))
        return {};
    const QString lower = word.toLower();
    const bool isCapitalized = word == capitalized(lower) && word != lower;
    const QString lookedUp = isCapitalized ? lower : word;
    // The dictionary's suggestions take tens of milliseconds, on every misspelled word typed; most misspellings
    // have no swap of neighbouring letters that makes a word, and then there is nothing to ask for.
    bool swapMakesAWord = false;
    for (qsizetype i = 0; i + 1 < lookedUp.size() && !swapMakesAWord; ++i) {
        if (lookedUp[i] == lookedUp[i + 1])
            continue;
        QString swapped = lookedUp;
        std::swap(swapped[i], swapped[i + 1]);
        swapMakesAWord = isCorrect(swapped);
    }
    // A word of another installed language ("sehr" beside English "sher") is meant as typed.
    if (!swapMakesAWord)
        return {};
    if (!m_shared->others)
        m_shared->others = std::make_unique<InstalledDictionaries>(m_shared->language);
    if (m_shared->others->accept(word) || m_shared->others->accept(lookedUp))
        return {};
    // Unambiguous means exactly one suggestion is two neighbouring letters swapped: "tset" could be "test" or
    // "stet", so it stays as typed. Letter case alone is never corrected: "ok" may be meant so.
    QString only;
    for (const QString &guess : suggestions(lookedUp)) {
        if (!differsBySwap(lookedUp, guess))
            continue;
        if (!only.isEmpty() && guess != only)
            return {};
        only = guess;
    }
    if (only.isEmpty())
        return {};
    return isCapitalized ? capitalized(only) : only;
}

bool SpellChecker::isOtherLanguageAround(QStringView text, Word word) const
{
    if (!hasDictionary())
        return false;
    const QList<Word> all = words(text);
    const qsizetype at = all.indexOf(word);
    if (at < 0)
        return false;
    qsizetype judged = 0;
    qsizetype unknown = 0;
    for (qsizetype i = std::max<qsizetype>(0, at - languageContextWords);
         i < std::min(all.size(), at + languageContextWords + 1); ++i) {
        const QString neighbour = text.mid(all[i].position, all[i].length).toString();
        // Short words and capitals say little about the language: "ok", "TV", "in".
        if (i == at || neighbour.size() < minimumCorrectedLength || neighbour == neighbour.toUpper())
            continue;
        ++judged;
        unknown += isCorrect(neighbour) ? 0 : 1;
    }
    return unknown * 2 > judged;
}

SpellChecker::Word SpellChecker::wordAt(QStringView text, qsizetype offset)
{
    for (const Word &word : words(text)) {
        if (offset >= word.position && offset <= word.position + word.length)
            return word;
    }
    return {};
}

QList<SpellChecker::Word> SpellChecker::words(QStringView text)
{
    QList<Word> result;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        if (!text.at(i).isLetter()) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool skip = false;
        while (i < size) {
            const QChar c = text.at(i);
            if (c.isLetter() || c.isMark()) {
                skip = skip || isUnspacedScript(c);
                ++i;
            } else if (c.isDigit() || c == u'_') {
                skip = true;
                ++i;
            } else if (isApostrophe(c) && i + 1 < size && text.at(i + 1).isLetter()) {
                ++i;
            } else {
                break;
            }
        }
        const QChar before = start > 0 ? text.at(start - 1) : QChar();
        const QChar after = i < size ? text.at(i) : QChar();
        // "notes.txt", "example.com", "a/b", "me@host": not words of the language.
        const bool dotted = (after == u'.' && i + 1 < size && text.at(i + 1).isLetterOrNumber()) ||
                            (before == u'.' && start > 1 && text.at(start - 2).isLetterOrNumber());
        if (!skip && !dotted && !isGlue(before) && !isGlue(after) && !before.isHighSurrogate() &&
            !before.isLowSurrogate() && !after.isHighSurrogate())
            result.append({start, i - start});
    }
    return result;
}

SpellChecker::Word SpellChecker::nextMisspelling(QStringView text, qsizetype from) const
{
    if (!hasDictionary())
        return {};
    for (const Word &word : words(text)) {
        if (word.position >= from && !isCorrect(text.mid(word.position, word.length).toString()))
            return word;
    }
    return {};
}
