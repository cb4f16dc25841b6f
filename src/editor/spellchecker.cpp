#include "editor/spellchecker.h"

#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <enchant.h>

namespace {

// Past this many distinct words the cache of answers starts over, so a huge note cannot grow it without bound.
constexpr qsizetype maxCachedWords = 100000;
constexpr char fallbackLanguage[] = "en_US";
// Shorter words are never corrected without asking.
constexpr qsizetype minimumCorrectedLength = 3;

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

void SpellChecker::BrokerDeleter::operator()(EnchantBroker *broker) const
{
    enchant_broker_free(broker);
}

void SpellChecker::DictionaryDeleter::operator()(EnchantDict *dictionary) const
{
    if (broker)
        enchant_broker_free_dict(broker, dictionary);
}

SpellChecker::SpellChecker(const QString &language, QObject *parent)
    : QObject(parent)
    , m_broker(enchant_broker_init())
    , m_dictionary(nullptr, DictionaryDeleter{})
{
    if (!m_broker)
        return;
    QStringList candidates;
    if (!language.isEmpty()) {
        candidates << language;
    } else {
        const QString system = QLocale::system().name();
        if (system != u"C" && system != u"POSIX") {
            candidates << system << system.section(u'_', 0, 0);
        }
    }
    candidates << QString::fromLatin1(fallbackLanguage);
    openDictionary(candidates);
    m_wordListStamp = wordListStamp();
}

void SpellChecker::openDictionary(const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        const QByteArray tag = candidate.toUtf8();
        if (tag.isEmpty() || !enchant_broker_dict_exists(m_broker.get(), tag.constData()))
            continue;
        if (EnchantDict *dictionary = enchant_broker_request_dict(m_broker.get(), tag.constData())) {
            m_dictionary = std::unique_ptr<EnchantDict, DictionaryDeleter>(dictionary, {m_broker.get()});
            m_language = candidate;
            const QChar::Script script = scriptOf(QLocale(candidate).nativeLanguageName());
            m_script = script == QChar::Script_Common ? QChar::Script_Latin : script;
            return;
        }
    }
}

QString SpellChecker::wordListPath() const
{
    // Where enchant keeps the personal word list of a language: the user's config folder.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/enchant/") +
           m_language + QStringLiteral(".dic");
}

QPair<QDateTime, qint64> SpellChecker::wordListStamp() const
{
    const QFileInfo info(wordListPath());
    if (!info.exists())
        return {};
    return {info.lastModified(), info.size()};
}

bool SpellChecker::refreshWordList()
{
    if (!m_dictionary)
        return false;
    const QPair<QDateTime, qint64> stamp = wordListStamp();
    if (stamp == m_wordListStamp)
        return false;
    m_wordListStamp = stamp;
    // enchant notices a changed list only by its time in whole seconds; opening the dictionary afresh always
    // reads it.
    const QString language = m_language;
    m_dictionary.reset();
    openDictionary({language});
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
    if (!m_dictionary || word.isEmpty() || m_ignored.contains(word))
        return true;
    // A word in another script (Hebrew in an English note) is not the dictionary's to judge.
    if (const QChar::Script script = scriptOf(word); script != QChar::Script_Common && script != m_script)
        return true;
    if (const auto known = m_known.constFind(word); known != m_known.cend())
        return *known;
    const QByteArray utf8 = word.toUtf8();
    // A failed check (negative) marks nothing: an underline must mean a misspelling.
    const bool correct = enchant_dict_check(m_dictionary.get(), utf8.constData(), utf8.size()) <= 0;
    if (m_known.size() >= maxCachedWords)
        m_known.clear();
    m_known.insert(word, correct);
    return correct;
}

QStringList SpellChecker::suggestions(const QString &word) const
{
    QStringList result;
    if (!m_dictionary || word.isEmpty())
        return result;
    const QByteArray utf8 = word.toUtf8();
    size_t count = 0;
    char **list = enchant_dict_suggest(m_dictionary.get(), utf8.constData(), utf8.size(), &count);
    if (!list)
        return result;
    for (size_t i = 0; i < count; ++i)
        result << QString::fromUtf8(list[i]);
    enchant_dict_free_string_list(m_dictionary.get(), list);
    return result;
}

void SpellChecker::learn(const QString &word)
{
    if (!m_dictionary || word.isEmpty())
        return;
    const QByteArray utf8 = word.toUtf8();
    enchant_dict_add(m_dictionary.get(), utf8.constData(), utf8.size());
    m_wordListStamp = wordListStamp();
    m_known.insert(word, true);
    Q_EMIT wordAccepted(word);
}

bool SpellChecker::isLearned(const QString &word) const
{
    if (!m_dictionary || word.isEmpty())
        return false;
    const QByteArray utf8 = word.toUtf8();
    return enchant_dict_is_added(m_dictionary.get(), utf8.constData(), utf8.size()) != 0;
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
    if (!m_dictionary)
        return {};
    for (const Word &word : words(text)) {
        if (word.position >= from && !isCorrect(text.mid(word.position, word.length).toString()))
            return word;
    }
    return {};
}
