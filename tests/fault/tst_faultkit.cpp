// The fault injection kit must really see each call a save makes; a wrapper that glibc bypasses would let every
// fault test pass without testing anything.
#include "faultkit.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace TestSupport;

namespace {

// The probe makes one call of the given kind on a path in folder, under faults.
Run probe(const QString &call, const QString &folder, const QStringList &faults)
{
    const QStringList command = FaultKit::underFaults({FaultKit::faultProbe(), call, folder}, faults);
    return run(command.first(), command.mid(1));
}

} // namespace

class TestFaultKit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (FaultKit::faultLibrary().isEmpty() || FaultKit::faultProbe().isEmpty())
            QSKIP("run through ctest, which names the fault library and the probe");
    }

    void injectsErrno_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("open") << "open" << QStringList{"FAULT_CALL=open"};
        QTest::newRow("openat") << "openat" << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=creat"};
        QTest::newRow("open with O_TMPFILE") << "tmpfile" << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=tmpfile"};
        QTest::newRow("creat") << "creat" << QStringList{"FAULT_CALL=open"};
        for (const char *call : {"write", "close", "fsync", "fdatasync", "rename", "renameat2", "linkat"})
            QTest::newRow(call) << call << QStringList{QStringLiteral("FAULT_CALL=") + call};
        QTest::newRow("renameat") << "renameat" << QStringList{"FAULT_CALL=rename"};
        QTest::newRow("link") << "link" << QStringList{"FAULT_CALL=linkat"};
    }

    void injectsErrno()
    {
        QFETCH(QString, call);
        QFETCH(QStringList, faults);
        QTemporaryDir dir;
        faults << "FAULT_ERRNO=EDQUOT"
               << "FAULT_TRACE=1"
               << "FAULT_PATH_SUBSTR=" + dir.path();
        const Run result = probe(call, dir.path(), faults);
        QCOMPARE(result.out.trimmed(), QByteArray::number(EDQUOT));
        const QString symbol = call == u"tmpfile" ? QStringLiteral("open") : call;
        const QStringList trace = FaultKit::traceLines(result.err);
        QVERIFY2(trace.filter(QRegularExpression("^faultinject: " + symbol + " \\S*" +
                                                 QRegularExpression::escape(dir.path()) + ".* injected EDQUOT$"))
                         .size() == 1,
                 qPrintable(trace.join(u'\n')));
    }

    void letsThrough_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("delayed");
        QTest::newRow("a path that does not match")
            << QStringList{"FAULT_CALL=any", "FAULT_ERRNO=EIO", "FAULT_PATH_SUBSTR=/elsewhere/"} << 0;
        QTest::newRow("calls before FAULT_AFTER")
            << QStringList{"FAULT_CALL=fsync", "FAULT_ERRNO=EIO", "FAULT_AFTER=1"} << 0;
        QTest::newRow("FAULT_DELAY_MS holds the call back")
            << QStringList{"FAULT_CALL=fsync", "FAULT_DELAY_MS=50"} << 1;
    }

    void letsThrough()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, delayed);
        QTemporaryDir dir;
        // Later settings win, so a row may move the path filter elsewhere.
        const Run result =
            probe("fsync", dir.path(), QStringList{"FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()} + faults);
        QCOMPARE(result.out.trimmed(), QByteArray("ok"));
        QCOMPARE(FaultKit::traceLines(result.err).filter(" delayed").size(), delayed);
    }

    void kills_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("renamed");
        QTest::newRow("before the call") << "before" << false;
        QTest::newRow("after the call") << "after" << true;
    }

    void kills()
    {
        QFETCH(QString, when);
        QFETCH(bool, renamed);
        QTemporaryDir dir;
        const Run result =
            probe("rename", dir.path(), {"FAULT_CALL=rename", "FAULT_KILL=" + when, "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(result.exitStatus, QProcess::CrashExit);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(QFile::exists(dir.filePath("b")), renamed);
    }
};

QTEST_GUILESS_MAIN(TestFaultKit)
#include "tst_faultkit.moc"
