#include "notewindowsetup.h"

#include "editor/textzoom.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextOption>

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

} // namespace

void NoteWindowSetup::apply(QWidget *window, QPlainTextEdit *textView)
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

    // Each paragraph takes the direction of its first strong letter; alignment follows it. The file is unchanged.
    QTextOption option = textView->document()->defaultTextOption();
    option.setTextDirection(Qt::LayoutDirectionAuto);
    textView->document()->setDefaultTextOption(option);

    textView->installEventFilter(new AltKeyGuard(textView));
    TextZoom::shared().attach(window, textView);
}
