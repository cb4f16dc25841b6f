#include "windowplacement.h"

#include "framework/document.h"
#include "shell/documentcontroller.h"
#include "editor/windowcontroller.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int recordDelayMs = 500;

} // namespace

namespace {

// What the window manager adds around a window; nothing before the first show.
QMargins frameMargins(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

} // namespace

WindowPlacement::WindowPlacement(DocumentController &documents, QObject *parent)
    : QObject(parent)
    , m_documents(documents)
    , m_recorder(new QThreadPool(this))
{
    m_recorder->setMaxThreadCount(1);
    m_recordSoon.setSingleShot(true);
    m_recordSoon.setInterval(recordDelayMs);
    connect(&m_recordSoon, &QTimer::timeout, this, &WindowPlacement::recordFrames);
    connect(&documents, &DocumentController::windowControllersMade, this, [this](Document *document) {
        const QList<WindowController *> controllers = WindowController::of(document);
        for (WindowController *controller : controllers) {
            place(controller->window(), document->fileUrl());
            controller->window()->installEventFilter(this);
        }
    });
}

WindowPlacement::~WindowPlacement()
{
    m_recorder->waitForDone();
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    // A frame the user gave a window is kept as it changes, so that any end of the app brings it back.
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        m_recordSoon.start();
    return QObject::eventFilter(watched, event);
}

void WindowPlacement::recordFrames()
{
    // Read here, written and synced on a thread of its own.
    m_recorder->start([frames = framesOf(m_documents.documents())] {
        QSettings settings;
        settings.setValue(QLatin1String(framesKey), frames);
        settings.sync();
    });
}

void WindowPlacement::place(QWidget *window, const QUrl &url)
{
    const QWidget *from = cascadeSource(window);
    const QMargins margins = from ? frameMargins(from) : QMargins();
    const QScreen *screen = from ? from->screen() : window->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    // A remembered place is the frame's corner and the inside's size, as move() and resize() take them.
    const QRect remembered = m_frames.take(url.toString(QUrl::FullyEncoded));
    if (remembered.isValid()) {
        window->resize(remembered.size());
        window->move(remembered.topLeft());
    }
    QRect outer(window->pos(), window->size().grownBy(margins));
    if (!remembered.isValid() && from && available.isValid())
        outer.moveTopLeft(cascaded(from->frameGeometry(), titleBarHeight(from), outer.size(), available));
    if (available.isValid())
        outer = fitted(outer, available);
    window->resize(outer.size().shrunkBy(margins));
    window->move(outer.topLeft());
    m_last = window;
    // The first window also takes the "EditorWindow" frame as it shows, perhaps saved on a larger screen.
    QTimer::singleShot(0, window, [window] {
        const QRect available = window->screen()->availableGeometry();
        const QRect frame = window->frameGeometry();
        const QRect inside = fitted(frame, available);
        if (inside == frame)
            return;
        window->resize(inside.size().shrunkBy(frameMargins(window)));
        window->move(inside.topLeft());
    });
}

QWidget *WindowPlacement::cascadeSource(const QWidget *window) const
{
    QWidget *active = QApplication::activeWindow();
    if (active && active != window && WindowController::forWindow(active))
        return active;
    if (m_last && m_last != window && m_last->isVisible())
        return m_last;
    return nullptr;
}

void WindowPlacement::rememberFrames(const QList<Document *> &documents)
{
    QSettings().setValue(QLatin1String(framesKey), framesOf(documents));
}

QVariantMap WindowPlacement::framesOf(const QList<Document *> &documents)
{
    QVariantMap frames;
    for (const Document *document : documents) {
        const QList<WindowController *> controllers = WindowController::of(document);
        if (!document->fileUrl().isEmpty() && !controllers.isEmpty() && controllers.first()->window())
            frames.insert(document->fileUrl().toString(QUrl::FullyEncoded),
                          QRect(controllers.first()->window()->pos(), controllers.first()->window()->size()));
    }
    return frames;
}

void WindowPlacement::takeRememberedFrames()
{
    m_recorder->waitForDone();
    QSettings settings;
    const QVariantMap frames = settings.value(QLatin1String(framesKey)).toMap();
    settings.remove(QLatin1String(framesKey));
    for (auto it = frames.cbegin(); it != frames.cend(); ++it)
        m_frames.insert(it.key(), it.value().toRect());
}

QRect WindowPlacement::fitted(const QRect &frame, const QRect &available)
{
    QRect result(frame.topLeft(), frame.size().boundedTo(available.size()));
    result.moveLeft(std::clamp(result.left(), available.left(), available.right() - result.width() + 1));
    result.moveTop(std::clamp(result.top(), available.top(), available.bottom() - result.height() + 1));
    return result;
}

QPoint WindowPlacement::cascaded(const QRect &from, int step, const QSize &size, const QRect &available)
{
    const QSize fitting = size.boundedTo(available.size());
    QPoint point = from.topLeft() + QPoint(step, step);
    if (point.x() + fitting.width() - 1 > available.right())
        point.setX(available.left());
    if (point.y() + fitting.height() - 1 > available.bottom())
        point.setY(available.top());
    return point;
}

int WindowPlacement::titleBarHeight(const QWidget *window)
{
    const int top = frameMargins(window).top();
    return top > 0 ? top : window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
}
