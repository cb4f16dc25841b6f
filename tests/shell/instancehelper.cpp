// A second Nolt Nolt as far as the single instance is concerned: started with files or without, it either hands
// them to the running instance (prints "handed over", exits 0) or runs on its own (prints its role, exits 3).
#include "shell/singleinstance.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    const QList<QUrl> files = SingleInstance::urlsFromArguments(app.arguments().mid(1), QDir::currentPath());
    if (!instance.start(files)) {
        std::puts("handed over");
        return 0;
    }
    std::puts(instance.role() == SingleInstance::Role::Primary ? "primary" : "alone");
    return 3;
}
