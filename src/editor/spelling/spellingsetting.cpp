#include "editor/spelling/spellingsetting.h"

#include <QSettings>

namespace {

constexpr char settingsKey[] = "CheckSpellingWhileTyping";

} // namespace

SpellingSetting::SpellingSetting(QObject *parent)
    : QObject(parent)
    , m_checkingWhileTyping(QSettings().value(QLatin1String(settingsKey), true).toBool())
{}

void SpellingSetting::setCheckingWhileTyping(bool on)
{
    if (on == m_checkingWhileTyping)
        return;
    m_checkingWhileTyping = on;
    QSettings().setValue(QLatin1String(settingsKey), on);
    Q_EMIT checkingWhileTypingChanged(on);
}
