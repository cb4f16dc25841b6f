#include "editor/messages/messagebar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

QAccessibleInterface *alertFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String(MessageBar::staticMetaObject.className()) || !object || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::AlertMessage);
}

// Clicked with the mouse or pressed with Space once the user tabbed to it; never focused by showing up.
QPushButton *makeButton(const QString &text)
{
    auto *button = new QPushButton(text);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

MessageBar::MessageBar(QWidget *parent)
    : QFrame(parent)
    , m_label(new QLabel)
    , m_buttonRow(new QWidget)
{
    installAccessibility();
    setObjectName(QStringLiteral("messageBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);
    setFocusPolicy(Qt::NoFocus);

    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    row->addWidget(m_label, 1);
    new QHBoxLayout(m_buttonRow);
    m_buttonRow->layout()->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_buttonRow);
}

void MessageBar::setMessage(const QString &text, const QList<Button> &buttons, bool closable)
{
    m_label->setText(text);
    setAccessibleName(text);
    qDeleteAll(m_buttonRow->findChildren<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly));
    for (const Button &wanted : buttons) {
        QPushButton *button = makeButton(wanted.text);
        m_buttonRow->layout()->addWidget(button);
        // Queued: an action may take this bar away, and the button must first finish its click.
        connect(button, &QPushButton::clicked, this,
                [this, action = wanted.action] { QTimer::singleShot(0, this, [action] { action(); }); });
    }
    if (closable) {
        auto *close = new QToolButton;
        // The style draws its close mark to be seen on the bar whatever the palette; a text mark takes the
        // buttons' colour, which a dark palette makes light on the bar's light tooltip colours.
        close->setIcon(close->style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, close));
        close->setAutoRaise(true);
        close->setFocusPolicy(Qt::TabFocus);
        close->setAccessibleName(tr("Close Message"));
        m_buttonRow->layout()->addWidget(close);
        connect(close, &QToolButton::clicked, this, &MessageBar::closeRequested, Qt::QueuedConnection);
    }
    if (isVisible())
        announce();
}

QString MessageBar::text() const
{
    return m_label->text();
}

QList<QPushButton *> MessageBar::buttons() const
{
    return m_buttonRow->findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly);
}

void MessageBar::installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(alertFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void MessageBar::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    announce();
}

void MessageBar::announce()
{
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}
