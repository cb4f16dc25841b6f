#include "faultkit.h"

#include <QRegularExpression>

#include <cstring>

namespace FaultKit {

QString faultLibrary()
{
    return qEnvironmentVariable("NOLTNOLT_FAULTLIB");
}

QString faultProbe()
{
    return qEnvironmentVariable("NOLTNOLT_FAULTPROBE");
}

QStringList underFaults(const QStringList &command, const QStringList &faults)
{
    if (faults.isEmpty())
        return command;
    return QStringList{QStringLiteral("env"), QStringLiteral("LD_PRELOAD=") + faultLibrary()} + faults + command;
}

TestSupport::Run save(const QString &file, const QByteArray &text, const QStringList &faults, bool unprivileged)
{
    const QStringList command = underFaults({TestSupport::noteTool(), QStringLiteral("save"), file}, faults);
    if (unprivileged)
        return TestSupport::runUnprivileged(command.first(), command.mid(1), text);
    return TestSupport::run(command.first(), command.mid(1), text);
}

QStringList traceLines(const QByteArray &err)
{
    return QString::fromUtf8(err).split(u'\n').filter(QRegularExpression(QStringLiteral("^faultinject: ")));
}

QString messageLines(const QByteArray &err)
{
    QStringList lines = QString::fromUtf8(err).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString &line) { return line.startsWith(u"faultinject: "); });
    return lines.join(u'\n');
}

QStringList added(const QStringList &before, const QStringList &after)
{
    QStringList result;
    for (const QString &name : after) {
        if (!before.contains(name))
            result << name;
    }
    return result;
}

QString cause(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool looksTemporary(const QString &name)
{
    static const QRegularExpression shape(QStringLiteral("^\\..+\\.tmp$"));
    return shape.match(name).hasMatch();
}

} // namespace FaultKit
