#pragma once

#include <QObject>

// Answers the application's launch and the commands of the menu bar.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);

public Q_SLOTS:
    void applicationDidFinishLaunching();
};
