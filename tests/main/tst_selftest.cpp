#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace TestSupport;

// Runs the built app's self-test the way a user would: as a normal user, on a machine without a display.
class TestSelfTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void passesAsNormalUser()
    {
        if (!canRunUnprivileged())
            QSKIP("running as root without setpriv: the read-only folder check cannot be made to fail");
        QTemporaryDir home;
        QTemporaryDir tmp;
        openToEveryone(tmp.path());
        const QString binary = reachableCopy(home.path());

        const Run result = runUnprivileged(binary, {u"--self-test"_s}, {},
                                           {u"TMPDIR="_s + tmp.path(), u"HOME="_s + home.path(),
                                            // A display that is set but has no server behind it.
                                            u"DISPLAY=:99"_s, u"QT_QPA_PLATFORM="_s});
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(result.exitStatus, QProcess::NormalExit);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out,
                 QByteArrayLiteral("PASS: date-stamped filenames, same-day numbering, next-day reset, UTF-8 "
                                   "round trip, empty document creation, atomic updates\n"
                                   "PASS: NSDocument read/write, invalid UTF-8 preservation, denied "
                                   "directory writes, selection kept on reload\n"));
        QCOMPARE(entries(tmp.path()), QStringList());
    }

    void escapingErrorFailsWithItsDescription()
    {
        if (!canRunUnprivileged())
            QSKIP("needs an unprivileged user; root ignores permission bits and setpriv is missing");
        // A temporary directory where the test folder cannot be made: the error escapes with its description.
        QTemporaryDir tmp;
        openToEveryone(tmp.path());
        const QString readOnly = tmp.filePath(u"locked"_s);
        QVERIFY(QDir().mkdir(readOnly));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
        const QString binary = reachableCopy(tmp.path());
        const Run result =
            runUnprivileged(binary, {u"--self-test"_s}, {}, {u"TMPDIR="_s + readOnly, u"QT_QPA_PLATFORM=offscreen"_s});
        QVERIFY(result.exitStatus == QProcess::CrashExit || result.exitCode != 0);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.contains("Permission denied") && result.err.contains("locked"), result.err.constData());
        QCOMPARE(entries(readOnly), QStringList());
    }

private:
    // A copy of the app that nobody can reach wherever the build tree lies, in folder, which is opened to everyone.
    static QString reachableCopy(const QString &folder)
    {
        openToEveryone(folder);
        const QString binary = folder + u"/noltnolt"_s;
        QFile::copy(appBinary(), binary);
        QFile::setPermissions(binary, QFile::permissions(binary) | QFileDevice::ExeOther | QFileDevice::ReadOther);
        return binary;
    }
};

QTEST_GUILESS_MAIN(TestSelfTest)
#include "tst_selftest.moc"
