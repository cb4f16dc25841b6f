// A second Nolt Nolt as far as the single instance is concerned: started with files or without, it either hands
// them to the running instance (prints "handed over", exits 0), finds it not answering (exits 1, the reason on
// standard error) or runs on its own (exits 3). NOLTNOLT_HANDOVER_TIMEOUT_MS shortens the wait.
#include "shell/singleinstance.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    bool timeoutGiven = false;
    const int timeout = qEnvironmentVariableIntValue("NOLTNOLT_HANDOVER_TIMEOUT_MS", &timeoutGiven);
    if (timeoutGiven)
        instance.setHandOverTimeout(timeout);
    const QList<QUrl> files = SingleInstance::urlsFromArguments(app.arguments().mid(1), QDir::currentPath());
    if (!instance.start(files)) {
        if (instance.role() != SingleInstance::Role::HandedOver)
            return 1;
        std::puts("handed over");
        return 0;
    }
    return 3;
}
