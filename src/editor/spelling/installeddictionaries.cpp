#include "editor/spelling/installeddictionaries.h"

#include <QLocale>

#include <enchant.h>

namespace {

constexpr char fallbackLanguage[] = "en_US";
// Each opened dictionary costs memory; a machine with more languages than this is checked against the first ones.
constexpr qsizetype maxOtherDictionaries = 16;

QString baseOf(const QString &tag)
{
    return tag.section(u'_', 0, 0);
}

// The regional variant most people of a language use: "de_DE" for "de", else the first one.
QString mainVariant(const QString &base, const QStringList &installed)
{
    const QString home = base + u'_' + base.toUpper();
    if (installed.contains(base))
        return base;
    if (installed.contains(home))
        return home;
    for (const QString &tag : installed) {
        if (baseOf(tag) == base)
            return tag;
    }
    return {};
}

} // namespace

InstalledDictionaries::InstalledDictionaries(const QString &except)
    : m_broker(enchant_broker_init())
{
    if (!m_broker)
        return;
    const QStringList installed = languages(m_broker);
    QStringList others;
    for (const QString &tag : installed) {
        if (tag == except || others.size() >= maxOtherDictionaries)
            continue;
        // One per other language: regions of German agree on what is German, not on "colour" and "color".
        const QString base = baseOf(tag);
        if (base == baseOf(except) || mainVariant(base, installed) == tag)
            others << tag;
    }
    for (const QString &tag : std::as_const(others)) {
        if (EnchantDict *dictionary = enchant_broker_request_dict(m_broker, tag.toUtf8().constData()))
            m_dictionaries.push_back(dictionary);
    }
}

InstalledDictionaries::~InstalledDictionaries()
{
    for (EnchantDict *dictionary : m_dictionaries)
        enchant_broker_free_dict(m_broker, dictionary);
    if (m_broker)
        enchant_broker_free(m_broker);
}

bool InstalledDictionaries::accept(const QString &word) const
{
    const QByteArray utf8 = word.toUtf8();
    for (EnchantDict *dictionary : m_dictionaries) {
        if (enchant_dict_check(dictionary, utf8.constData(), utf8.size()) == 0)
            return true;
    }
    return false;
}

QStringList InstalledDictionaries::languages(EnchantBroker *broker)
{
    QStringList tags;
    if (!broker)
        return tags;
    enchant_broker_list_dicts(
        broker,
        [](const char *tag, const char *, const char *, const char *, void *data) {
            static_cast<QStringList *>(data)->append(QString::fromUtf8(tag));
        },
        &tags);
    tags.sort();
    tags.removeDuplicates();
    return tags;
}

QStringList InstalledDictionaries::preferredLanguages()
{
    QStringList tags;
    // The user's language list (LANGUAGE, then LANG), in dictionaries' spelling.
    const QStringList uiLanguages = QLocale::system().uiLanguages();
    for (QString tag : uiLanguages) {
        tag.replace(u'-', u'_');
        if (tag != u"C" && tag != u"POSIX" && !tags.contains(tag))
            tags << tag;
    }
    return tags;
}

QString InstalledDictionaries::choose(const QStringList &preferred, const QStringList &installed)
{
    for (const QString &tag : preferred) {
        if (installed.contains(tag))
            return tag;
    }
    for (const QString &tag : preferred) {
        if (const QString variant = mainVariant(baseOf(tag), installed); !variant.isEmpty())
            return variant;
    }
    const QString english = QString::fromLatin1(fallbackLanguage);
    return installed.contains(english) ? english : mainVariant(baseOf(english), installed);
}
