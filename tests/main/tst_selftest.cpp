#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace TestSupport;

// The built app's self-test as a normal user: an error it cannot handle ends it, told with its cause. That it
// passes is the package check's, on the app as installed.
class TestSelfTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
