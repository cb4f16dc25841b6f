#pragma once

#include "support/testsupport.h"

#include <QString>
#include <QStringList>

// Running the note tool under the fault injection library (faultinject.c documents its FAULT_* variables).
namespace FaultKit {

QString faultLibrary();

// command prefixed so that only its own process loads the library with the given FAULT_* settings: a setpriv or
// nsenter in front of it stays untouched.
QStringList underFaults(const QStringList &command, const QStringList &faults);
// The settings that fail the calls of a family with code, after letting `after` of them through.
QStringList failing(const QString &call, int code, int after = 0);

// The note tool's "save FILE" under faults.
TestSupport::Run save(const QString &file, const QByteArray &text, const QStringList &faults = {});

// strerror's text for an errno, as the messages quote it.
QString cause(int code);

} // namespace FaultKit
