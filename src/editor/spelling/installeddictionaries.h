#pragma once

#include <QString>
#include <QStringList>

#include <vector>

struct str_enchant_broker;
struct str_enchant_dict;

// The spelling dictionaries installed on this machine: which one suits the user, and a second opinion from all
// the others, so that a word of another language the user writes is never taken for a misspelling to correct.
class InstalledDictionaries
{
public:
    // Opens one dictionary of every installed language but except (for its own regional variants, every one).
    explicit InstalledDictionaries(const QString &except);
    ~InstalledDictionaries();
    Q_DISABLE_COPY_MOVE(InstalledDictionaries)

    // Whether one of them knows the word.
    bool accept(const QString &word) const;

    // The language tags of the dictionaries the broker can open, e.g. "de_DE", sorted, each once.
    static QStringList languages(str_enchant_broker *broker);
    // The user's languages, most wanted first, as dictionary tags ("de_AT", "de"); none for the C locale.
    static QStringList preferredLanguages();
    // The installed language that suits preferred best: the exact one, else another region of the same language;
    // English when none of them is installed; empty when there is no English either.
    static QString choose(const QStringList &preferred, const QStringList &installed);

private:
    str_enchant_broker *m_broker = nullptr;
    std::vector<str_enchant_dict *> m_dictionaries;
};
