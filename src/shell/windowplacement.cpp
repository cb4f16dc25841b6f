#include "windowplacement.h"

#include "editor/window/windowcontroller.h"
#include "framework/document.h"
#include "framework/writequeue.h"
#include "shell/documentcontroller.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <optional>

namespace {

constexpr int recordDelayMs = 500;
// A window manager's border as large as common ones draw it, until one is seen: a guess too small would put a window
// fitted to a small screen partly off it.
constexpr QMargins guessedMargins(8, 40, 8, 8);

// What the window manager adds around a window; nothing before it first shows.
QMargins frameMargins(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// The border of a window the window manager has put on the screen; one is the same for every note window.
std::optional<QMargins> shownMargins(const QList<Document *> &documents)
{
    for (const Document *document : documents) {
        for (const WindowController *controller : WindowController::of(document)) {
            const QWidget *window = controller->window();
            if (window && window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed())
                return frameMargins(window);
        }
    }
    return std::nullopt;
}

QVariant marginsValue(const QMargins &margins)
{
    return QVariantList{margins.left(), margins.top(), margins.right(), margins.bottom()};
}

std::optional<QMargins> marginsFrom(const QVariant &value)
{
    const QVariantList sides = value.toList();
    if (sides.size() != 4)
        return std::nullopt;
    return QMargins(sides.at(0).toInt(), sides.at(1).toInt(), sides.at(2).toInt(), sides.at(3).toInt());
}

const QScreen *screenFor(const QRect &frame)
{
    const QScreen *screen = QGuiApplication::screenAt(frame.center());
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

WindowPlacement::WindowPlacement(DocumentController &documents, QThreadPool *workers, QObject *parent)
    : QObject(parent)
    , m_margins(guessedMargins)
    , m_documents(documents)
    , m_recorder(new WriteQueue(workers, this))
{
    m_recordSoon.setSingleShot(true);
    m_recordSoon.setInterval(recordDelayMs);
    connect(&m_recordSoon, &QTimer::timeout, this, &WindowPlacement::recordFrames);
    connect(&documents, &DocumentController::windowControllersMade, this, [this](Document *document) {
        const QList<WindowController *> controllers = WindowController::of(document);
        for (WindowController *controller : controllers) {
            // A window that showed while its note was read has its place already.
            if (controller->window()->isVisible())
                continue;
            place(controller->window(), document->fileUrl());
            controller->window()->installEventFilter(this);
        }
    });
    connect(&documents, &DocumentController::readingWindowMade, this,
            [this](WindowController *controller, const QUrl &url) {
                place(controller->window(), url);
                controller->window()->installEventFilter(this);
            });
}

WindowPlacement::~WindowPlacement()
{
    m_recorder->finish(Document::closeWaitMs);
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        // A frame the user gave a window is kept as it changes, so that any end of the app brings it back.
        m_recordSoon.start();
        break;
    case QEvent::Paint:
        // Drawn means mapped: the border is known now. A window manager whose border is larger than the last
        // run's (or the guess, the first time) may have pushed the frame off the screen. Half a pixel of a scaled
        // border may be taken for one.
        if (m_unchecked.remove(window)) {
            const QRect frame = window->frameGeometry();
            const QRect available = window->screen()->availableGeometry();
            const QRect inside = fitted(frame, available);
            if (!available.adjusted(-1, -1, 1, 1).contains(frame)) {
                window->resize(inside.size().shrunkBy(frameMargins(window)));
                window->move(inside.topLeft());
            }
        }
        break;
    case QEvent::Hide:
        // Minimizing hides the window too, but it stays open and keeps its name.
        if (!event->spontaneous())
            release(window);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void WindowPlacement::release(QWidget *window)
{
    m_unchecked.remove(window);
    if (window != m_holder)
        return;
    m_holder = nullptr;
    m_firstFrame = window->frameGeometry();
    // Only the name's frame: the notes still open may be closing one by one, and their frames were kept at quit.
    m_recorder->run(
        [first = m_firstFrame] {
            QSettings settings;
            settings.setValue(QLatin1String(firstFrameKey), first);
            settings.sync();
            return true;
        },
        [](bool) {});
}

void WindowPlacement::recordFrames()
{
    if (m_holder && m_holder->isVisible())
        m_firstFrame = m_holder->frameGeometry();
    const std::optional<QMargins> margins = shownMargins(m_documents.documents());
    // Read here, written and synced on a thread of its own.
    m_recorder->run(
        [frames = framesOf(m_documents.documents()), first = m_firstFrame, margins] {
            QSettings settings;
            settings.setValue(QLatin1String(framesKey), frames);
            if (first.isValid())
                settings.setValue(QLatin1String(firstFrameKey), first);
            if (margins)
                settings.setValue(QLatin1String(marginsKey), marginsValue(*margins));
            settings.sync();
            return true;
        },
        [](bool) {});
}

void WindowPlacement::place(QWidget *window, const QUrl &url)
{
    const QMargins margins = shownMargins(m_documents.documents()).value_or(m_margins);
    QRect frame(QPoint(), window->size().grownBy(margins));
    const QRect remembered = m_frames.take(url.toString(QUrl::FullyEncoded));
    const QWidget *from = cascadeSource(window);
    const QScreen *screen = nullptr;
    if (remembered.isValid() || (!m_holder && m_firstFrame.isValid())) {
        frame = remembered.isValid() ? remembered : m_firstFrame;
        screen = screenFor(frame);
    } else if (from) {
        screen = from->screen();
        // One title bar down: the source's own, or as this window's will be while the source is not mapped yet.
        const int step = frameMargins(from).top() > 0 ? frameMargins(from).top() : margins.top();
        if (screen)
            frame.moveTopLeft(cascaded(from->frameGeometry(), step, frame.size(), screen->availableGeometry()));
    } else {
        screen = QGuiApplication::primaryScreen();
        if (screen)
            frame.moveCenter(screen->availableGeometry().center());
    }
    if (screen)
        frame = fitted(frame, screen->availableGeometry());
    // Before the first show, move() places the frame's corner and resize() the inside.
    window->resize(frame.size().shrunkBy(margins));
    window->move(frame.topLeft());
    m_last = window;
    if (!m_holder)
        m_holder = window;
    m_unchecked.insert(window);
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
    QSettings settings;
    settings.setValue(QLatin1String(framesKey), framesOf(documents));
    if (const std::optional<QMargins> margins = shownMargins(documents))
        settings.setValue(QLatin1String(marginsKey), marginsValue(*margins));
}

QVariantMap WindowPlacement::framesOf(const QList<Document *> &documents)
{
    QVariantMap frames;
    for (const Document *document : documents) {
        const QList<WindowController *> controllers = WindowController::of(document);
        if (!document->fileUrl().isEmpty() && !controllers.isEmpty() && controllers.first()->window())
            frames.insert(document->fileUrl().toString(QUrl::FullyEncoded),
                          controllers.first()->window()->frameGeometry());
    }
    return frames;
}

void WindowPlacement::takeRememberedFrames()
{
    m_recorder->finish(Document::closeWaitMs);
    QSettings settings;
    // Left in place until this run records its own: an app killed before then brings them back again.
    const QVariantMap frames = settings.value(QLatin1String(framesKey)).toMap();
    for (auto it = frames.cbegin(); it != frames.cend(); ++it)
        m_frames.insert(it.key(), it.value().toRect());
    m_firstFrame = settings.value(QLatin1String(firstFrameKey)).toRect();
    m_margins = marginsFrom(settings.value(QLatin1String(marginsKey))).value_or(m_margins);
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
