#include "menustate.h"

#include "editor/findbar.h"
#include "editor/texttools.h"
#include "editor/actiondispatcher.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

constexpr char installedProperty[] = "noltnoltMenuStateInstalled";
constexpr char emptyProperty[] = "noltnoltWasEmpty";
// The find items that repeat the last search.
constexpr int findNextTag = 2;
constexpr int findPreviousTag = 3;

bool clipboardHasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

// The text editing actions, for the note's text view and for the find bar's fields alike.
struct TextState
{
    bool editable = false;
    bool selection = false;
    bool undo = false;
    bool redo = false;
    bool empty = true;
};

std::optional<TextState> textStateOf(QObject *responder)
{
    if (auto *tools = qobject_cast<TextTools *>(responder))
        responder = tools->textView();
    if (auto *view = qobject_cast<QPlainTextEdit *>(responder)) {
        const QTextDocument *document = view->document();
        return TextState{!view->isReadOnly(), view->textCursor().hasSelection(), document->isUndoAvailable(),
                         document->isRedoAvailable(), document->isEmpty()};
    }
    if (auto *field = qobject_cast<QLineEdit *>(responder)) {
        return TextState{!field->isReadOnly(), field->hasSelectedText(), field->isUndoAvailable(),
                         field->isRedoAvailable(), field->text().isEmpty()};
    }
    return std::nullopt;
}

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

bool MenuState::canPerform(const QAction *item, QObject *responder)
{
    const QByteArray action = ActionDispatcher::actionOf(item);
    if (action == "performFindPanelAction:") {
        const int tag = item->property("tag").toInt();
        auto *tools = qobject_cast<TextTools *>(responder);
        if (tools && (tag == findNextTag || tag == findPreviousTag))
            return tools->findBar() && !tools->findBar()->searchText().isEmpty();
        return true;
    }
    const std::optional<TextState> text = textStateOf(responder);
    if (!text)
        return true;
    if (action == "cut:" || action == "delete:")
        return text->editable && text->selection;
    if (action == "copy:")
        return text->selection;
    if (action == "paste:" || action == "pasteAsPlainText:")
        return text->editable && clipboardHasText();
    if (action == "undo:")
        return text->undo;
    if (action == "redo:")
        return text->redo;
    if (action == "selectAll:")
        return !text->empty;
    return true;
}

void MenuState::install(ActionDispatcher &dispatcher)
{
    if (dispatcher.property(installedProperty).toBool())
        return;
    dispatcher.setProperty(installedProperty, true);
    dispatcher.setItemValidator(&MenuState::canPerform);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &dispatcher,
                     &ActionDispatcher::updateAllItems);
    QObject::connect(qApp, &QApplication::focusChanged, &dispatcher, [&dispatcher](QWidget *, QWidget *now) {
        if (!now)
            return;
        watch(dispatcher, now);
        dispatcher.updateAllItems();
    });
}
