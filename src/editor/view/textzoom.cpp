#include "editor/view/textzoom.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QSettings>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr char settingsKey[] = "TextPointSize";
// One notch of a wheel.
constexpr int wheelStep = 120;

void addShortcuts(QWidget *window, const QList<QKeySequence> &keys, TextZoom *zoom, void (TextZoom::*change)())
{
    auto *action = new QAction(window);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, zoom, change);
    window->addAction(action);
}

} // namespace

TextZoom::TextZoom(QObject *parent)
    : QObject(parent)
{
    const int stored = QSettings().value(QLatin1String(settingsKey), defaultPointSize).toInt();
    m_pointSize = std::clamp(stored, minimumPointSize, maximumPointSize);
}

void TextZoom::setPointSize(int pointSize)
{
    pointSize = std::clamp(pointSize, minimumPointSize, maximumPointSize);
    if (pointSize == m_pointSize)
        return;
    m_pointSize = pointSize;
    QSettings().setValue(QLatin1String(settingsKey), pointSize);
    Q_EMIT pointSizeChanged(pointSize);
}

void TextZoom::zoomIn()
{
    setPointSize(m_pointSize + 1);
}

void TextZoom::zoomOut()
{
    setPointSize(m_pointSize - 1);
}

void TextZoom::reset()
{
    setPointSize(defaultPointSize);
}

void TextZoom::attach(QWidget *window, QPlainTextEdit *view)
{
    const auto apply = [view](int pointSize) {
        QFont font = view->font();
        font.setPointSize(pointSize);
        view->setFont(font);
    };
    apply(m_pointSize);
    connect(this, &TextZoom::pointSizeChanged, view, apply);
    // Keyboards put "+" on the "=" key or the keypad; both count.
    addShortcuts(window, {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}, this, &TextZoom::zoomIn);
    addShortcuts(window, {QKeySequence::ZoomOut}, this, &TextZoom::zoomOut);
    addShortcuts(window, {QKeySequence(Qt::CTRL | Qt::Key_0)}, this, &TextZoom::reset);
    view->viewport()->installEventFilter(this);
}

bool TextZoom::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    // Touchpads send small steps: a size step per whole notch.
    m_wheelAngle += wheel->angleDelta().y();
    while (m_wheelAngle >= wheelStep) {
        m_wheelAngle -= wheelStep;
        zoomIn();
    }
    while (m_wheelAngle <= -wheelStep) {
        m_wheelAngle += wheelStep;
        zoomOut();
    }
    wheel->accept();
    return true;
}
