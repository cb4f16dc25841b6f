#include "faultkit.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace FaultKit {

QString faultLibrary()
{
    return qEnvironmentVariable("NOLTNOLT_FAULTLIB");
}

QStringList underFaults(const QStringList &command, const QStringList &faults)
{
    if (faults.isEmpty())
        return command;
    return QStringList{QStringLiteral("env"), QStringLiteral("LD_PRELOAD=") + faultLibrary()} + faults + command;
}

QStringList failing(const QString &call, int code, int after)
{
    return {u"FAULT_CALL="_s + call, u"FAULT_ERRNO="_s + QString::number(code),
            u"FAULT_AFTER="_s + QString::number(after)};
}

TestSupport::Run save(const QString &file, const QByteArray &text, const QStringList &faults)
{
    const QStringList command = underFaults({TestSupport::noteTool(), QStringLiteral("save"), file}, faults);
    return TestSupport::run(command.first(), command.mid(1), text);
}

QString cause(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace FaultKit
