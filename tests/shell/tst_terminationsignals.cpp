#include "shell/terminationsignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliveredOnTheEventLoop_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM: kill, shutdown") << int(SIGTERM);
        QTest::newRow("SIGINT: Ctrl+C") << int(SIGINT);
        QTest::newRow("SIGHUP: the session ends") << int(SIGHUP);
    }

    void deliveredOnTheEventLoop()
    {
        QFETCH(int, signalNumber);
        TerminationSignals signals;
        QSignalSpy spy(&signals, &TerminationSignals::terminationRequested);
        ::raise(signalNumber); // the process lives on: the handler only records it
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), signalNumber);
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
