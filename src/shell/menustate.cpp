#include "menustate.h"

#include "editor/commands/actiondispatcher.h"
#include "editor/find/findbar.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

constexpr char installedProperty[] = "noltnoltMenuStateInstalled";
constexpr char emptyProperty[] = "noltnoltWasEmpty";

// Follows the state of the widget that has the focus; connecting twice is harmless.
void watch(ActionDispatcher &dispatcher, QWidget *widget)
{
    const auto unique = Qt::UniqueConnection;
    if (auto *view = qobject_cast<QPlainTextEdit *>(widget)) {
        QObject::connect(view, &QPlainTextEdit::copyAvailable, &dispatcher, &ActionDispatcher::updateAllItems, unique);
        QObject::connect(view, &QPlainTextEdit::undoAvailable, &dispatcher, &ActionDispatcher::updateAllItems, unique);
        QObject::connect(view, &QPlainTextEdit::redoAvailable, &dispatcher, &ActionDispatcher::updateAllItems, unique);
        // Typing changes Select All only when the note stops or starts being empty.
        if (!view->property(emptyProperty).isValid()) {
            view->setProperty(emptyProperty, view->document()->isEmpty());
            QObject::connect(view, &QPlainTextEdit::textChanged, &dispatcher, [view, &dispatcher] {
                const bool empty = view->document()->isEmpty();
                if (view->property(emptyProperty).toBool() == empty)
                    return;
                view->setProperty(emptyProperty, empty);
                dispatcher.updateAllItems();
            });
        }
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget)) {
        QObject::connect(field, &QLineEdit::selectionChanged, &dispatcher, &ActionDispatcher::updateAllItems, unique);
        QObject::connect(field, &QLineEdit::textChanged, &dispatcher, &ActionDispatcher::updateAllItems, unique);
    }
    // The search string decides Find Next and Previous while the focus is in the note.
    const QList<FindBar *> bars = widget->window()->findChildren<FindBar *>();
    for (FindBar *bar : bars) {
        QObject::connect(bar->searchField(), &QLineEdit::textChanged, &dispatcher, &ActionDispatcher::updateAllItems,
                         unique);
    }
}

} // namespace

void MenuState::install(ActionDispatcher &dispatcher)
{
    if (dispatcher.property(installedProperty).toBool())
        return;
    dispatcher.setProperty(installedProperty, true);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &dispatcher,
                     &ActionDispatcher::updateAllItems);
    QObject::connect(qApp, &QApplication::focusChanged, &dispatcher, [&dispatcher](QWidget *, QWidget *now) {
        if (!now)
            return;
        watch(dispatcher, now);
        dispatcher.updateAllItems();
    });
}
