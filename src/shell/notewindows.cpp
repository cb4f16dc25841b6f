#include "shell/notewindows.h"

#include "editor/window/windowcontroller.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

QList<QWidget *> NoteWindows::all()
{
    QList<QWidget *> windows;
    const QList<QWidget *> topLevels = QApplication::topLevelWidgets();
    for (QWidget *widget : topLevels) {
        if (WindowController::forWindow(widget) && widget->isWindow())
            windows.append(widget);
    }
    return windows;
}

bool NoteWindows::anyShown()
{
    const QList<QWidget *> windows = all();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget *window) { return window->isVisible(); });
}

void NoteWindows::minimizeAll()
{
    const QList<QWidget *> windows = all();
    for (QWidget *window : windows)
        window->showMinimized();
}

void NoteWindows::showAll()
{
    const QList<QWidget *> windows = all();
    for (QWidget *window : windows) {
        if (window->isMinimized())
            window->showNormal();
    }
}

void NoteWindows::bringAllToFront()
{
    QWidget *active = QApplication::activeWindow();
    const QList<QWidget *> windows = all();
    for (QWidget *window : windows) {
        if (window->isMinimized())
            window->showNormal();
        window->show();
        window->raise();
    }
    if (!active && !windows.isEmpty())
        active = windows.last();
    if (active) {
        active->raise();
        active->activateWindow();
    }
}
