// The fault injection kit must really see each call a save makes; a wrapper that glibc bypasses would let every
// fault test pass without testing anything.
#include "faultkit.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace TestSupport;

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
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("open") << "open" << QStringList{"FAULT_CALL=open"} << "open";
        QTest::newRow("openat") << "openat" << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=creat"} << "openat";
        QTest::newRow("open with O_TMPFILE")
            << "tmpfile" << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=tmpfile"} << "open";
        QTest::newRow("creat") << "creat" << QStringList{"FAULT_CALL=open"} << "creat";
        QTest::newRow("write") << "write" << QStringList{"FAULT_CALL=write"} << "write";
        QTest::newRow("close") << "close" << QStringList{"FAULT_CALL=close"} << "close";
        QTest::newRow("fsync") << "fsync" << QStringList{"FAULT_CALL=fsync"} << "fsync";
        QTest::newRow("fdatasync") << "fdatasync" << QStringList{"FAULT_CALL=fdatasync"} << "fdatasync";
        QTest::newRow("rename") << "rename" << QStringList{"FAULT_CALL=rename"} << "rename";
        QTest::newRow("renameat") << "renameat" << QStringList{"FAULT_CALL=rename"} << "renameat";
        QTest::newRow("renameat2") << "renameat2" << QStringList{"FAULT_CALL=renameat2"} << "renameat2";
        QTest::newRow("link") << "link" << QStringList{"FAULT_CALL=linkat"} << "link";
        QTest::newRow("linkat") << "linkat" << QStringList{"FAULT_CALL=linkat"} << "linkat";
    }

    void injectsErrno()
    {
        QFETCH(QString, probe);
        QFETCH(QStringList, faults);
        QFETCH(QString, symbol);
        QTemporaryDir dir;
        const QStringList env =
            faults + QStringList{"FAULT_ERRNO=EDQUOT", "FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()};
        const QStringList command = FaultKit::underFaults({FaultKit::faultProbe(), probe, dir.path()}, env);
        const Run result = run(command.first(), command.mid(1));
        QCOMPARE(result.out.trimmed(), QByteArray::number(EDQUOT));
        const QStringList trace = FaultKit::traceLines(result.err);
        QVERIFY2(trace.filter(QRegularExpression("^faultinject: " + symbol + " \\S*" +
                                                 QRegularExpression::escape(dir.path()) + ".* injected EDQUOT$"))
                         .size() == 1,
                 qPrintable(trace.join(u'\n')));
    }

    void passesOtherPaths()
    {
        // A path filter that does not match leaves the call alone.
        QTemporaryDir dir;
        const QStringList command =
            FaultKit::underFaults({FaultKit::faultProbe(), "fsync", dir.path()},
                                  {"FAULT_CALL=any", "FAULT_ERRNO=EIO", "FAULT_PATH_SUBSTR=/elsewhere/"});
        const Run result = run(command.first(), command.mid(1));
        QCOMPARE(result.out.trimmed(), QByteArray("ok"));
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
        const QStringList command =
            FaultKit::underFaults({FaultKit::faultProbe(), "rename", dir.path()},
                                  {"FAULT_CALL=rename", "FAULT_KILL=" + when, "FAULT_PATH_SUBSTR=" + dir.path()});
        const Run result = run(command.first(), command.mid(1));
        QCOMPARE(result.exitStatus, QProcess::CrashExit);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(QFile::exists(dir.filePath("b")), renamed);
    }

    void countsAndDelays()
    {
        // FAULT_AFTER lets the first calls through; FAULT_DELAY_MS holds a call back and says so in the trace.
        QTemporaryDir dir;
        const QStringList env{"FAULT_CALL=fsync", "FAULT_AFTER=1", "FAULT_ERRNO=EIO", "FAULT_TRACE=1",
                              "FAULT_PATH_SUBSTR=" + dir.path()};
        QStringList command = FaultKit::underFaults({FaultKit::faultProbe(), "fsync", dir.path()}, env);
        QCOMPARE(run(command.first(), command.mid(1)).out.trimmed(), QByteArray("ok"));
        command = FaultKit::underFaults(
            {FaultKit::faultProbe(), "fsync", dir.path()},
            {"FAULT_CALL=fsync", "FAULT_DELAY_MS=50", "FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()});
        const Run delayed = run(command.first(), command.mid(1));
        QCOMPARE(delayed.out.trimmed(), QByteArray("ok"));
        QCOMPARE(FaultKit::traceLines(delayed.err).filter(" delayed").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFaultKit)
#include "tst_faultkit.moc"
