#include "editor/window/notewindowsetup.h"

#include "editor/view/textzoom.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include <utility>

namespace {

constexpr char noteWindowProperty[] = "noltnoltNoteWindow";
// The action Qt gives a line edit's clear button; it comes without a name.
constexpr char clearActionName[] = "_q_qlineeditclearaction";

// A note window is a frame to screen readers, as other editors' main windows are, not an anonymous filler.
QAccessibleInterface *noteWindowAccessible(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (className != u"QWidget" || !widget || !widget->isWindow() || !widget->property(noteWindowProperty).toBool())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

// Alt with a printable key is a menu's mnemonic or nothing: when no menu took it, it must not type a letter
// that the next autosave would write.
class AltKeyGuard : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const Qt::KeyboardModifiers modifiers = key->modifiers();
            if ((modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) && !key->text().isEmpty() &&
                key->text().front().isPrint())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// A paragraph's direction, found once for each version of its text: the layout asks for it many times in every
// keystroke and repaint, and taking the paragraph's text out each time shows in the typing.
class Direction : public QTextBlockUserData
{
public:
    static bool isRightToLeft(QTextBlock block)
    {
        auto *known = static_cast<Direction *>(block.userData());
        if (!known) {
            known = new Direction;
            block.setUserData(known);
        }
        // A paragraph not edited since the text was set has no revision of its own (-1), whatever its text.
        const std::pair version(block.revision(), block.length());
        if (version.first < 0 || known->m_version != version) {
            known->m_rightToLeft = block.text().isRightToLeft();
            known->m_version = version;
        }
        return known->m_rightToLeft;
    }

private:
    std::pair<int, int> m_version{-1, -1};
    bool m_rightToLeft = false;
};

// The plain-text layout gives every paragraph the document's one alignment. This one stands a paragraph that
// starts with a right-to-left letter at the right, as its readers expect; the text itself is not touched.
class ParagraphDirectionLayout : public QPlainTextDocumentLayout
{
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    // Every paragraph is laid out through here before it is drawn or hit.
    QRectF blockBoundingRect(const QTextBlock &block) const override
    {
        const QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block);
        QTextLayout *layout = block.layout();
        const Qt::Alignment wanted =
            Direction::isRightToLeft(block) ? Qt::AlignRight | Qt::AlignAbsolute : Qt::AlignLeft;
        if (layout->textOption().alignment() != wanted) {
            QTextOption option = layout->textOption();
            option.setAlignment(wanted);
            layout->setTextOption(option);
        }
        return rect;
    }

protected:
    // This Qt looks for the paragraph a change ends in past the removed and the added units together (later ones
    // count the added alone), so new formats, or a word replaced by one as long, near a paragraph's end repaint the
    // whole view. Such a change moves nothing after it: the paragraph is laid out and repainted alone.
    void documentChanged(int from, int removed, int added) override
    {
        if (removed > 0 && removed == added && document()->findBlock(from) == document()->findBlock(from + added - 1))
            removed = 0;
        QPlainTextDocumentLayout::documentChanged(from, removed, added);
    }
};

} // namespace

void NoteWindowSetup::prepareTextView(QWidget *window, QPlainTextEdit *textView, TextZoom *zoom)
{
    QTextDocument *document = textView->document();
    // Each paragraph takes the direction of its first strong letter (cursor movement, punctuation), and its
    // alignment from the layout above.
    QTextOption option = document->defaultTextOption();
    option.setTextDirection(Qt::LayoutDirectionAuto);
    document->setDefaultTextOption(option);
    const int cursorWidth = textView->cursorWidth();
    document->setDocumentLayout(new ParagraphDirectionLayout(document));
    // The view takes the new layout as its own; the caret width lives in the layout.
    textView->setDocument(document);
    textView->setCursorWidth(cursorWidth);

    textView->installEventFilter(new AltKeyGuard(textView));
    if (zoom)
        zoom->attach(window, textView);
}

void NoteWindowSetup::finishWindow(QWidget *window)
{
    static const bool factoryInstalled = (QAccessible::installFactory(noteWindowAccessible), true);
    Q_UNUSED(factoryInstalled);
    window->setProperty(noteWindowProperty, true);

    const QList<QLineEdit *> fields = window->findChildren<QLineEdit *>();
    for (QLineEdit *field : fields) {
        if (auto *clear = field->findChild<QAction *>(QLatin1String(clearActionName))) {
            clear->setText(QCoreApplication::translate("NoteWindow", "Clear"));
            clear->setToolTip(clear->text());
        }
    }
}
