#include "editor/messagebar.h"
#include "support/launchfixture.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace TestSupport;

// Opening files as a new user does: refusals named, and the Open panel showing every kind of text.
class TestOpenJourneys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() { m_app = std::make_unique<LaunchFixture>(); }
    void cleanup() { m_app.reset(); }

    // The refused file is named in what the user reads: in the window that opened, else in a box in front.
    void refusalNamesTheFile_data()
    {
        QTest::addColumn<bool>("withGoodFile");
        QTest::newRow("beside a note that opens: in its window") << true;
        QTest::newRow("alone: a box in front") << false;
    }

    void refusalNamesTheFile()
    {
        QFETCH(bool, withGoodFile);
        writeBytes(m_app->dir.filePath(u"latin1.txt"_s), "caf\xe9");
        const QList<QWidget *> opened =
            m_app->launch(withGoodFile ? QStringList{u"latin1.txt"_s, u"good.txt"_s} : QStringList{u"latin1.txt"_s});
        QCOMPARE(opened.size(), withGoodFile ? 1 : 0);
        QWidget *good = opened.value(0);
        const QString expected = u"“latin1.txt” could not be opened. This file is not UTF-8 plain text."_s;
        if (withGoodFile) {
            QTRY_VERIFY(good->findChild<MessageBar *>() && good->findChild<MessageBar *>()->isVisible());
            QCOMPARE(good->findChild<MessageBar *>()->text(), expected);
            QVERIFY(TestSupport::messageBoxes().isEmpty());
        } else {
            QTRY_COMPARE(TestSupport::messageBoxes().size(), 1);
            QCOMPARE(TestSupport::messageBoxes().constFirst()->text(), expected);
            QTRY_COMPARE(QApplication::activeWindow(), TestSupport::messageBoxes().constFirst());
        }
    }

    // File › Open… (Ctrl+O) shows every kind of text at first, and can show everything.
    void openPanelShowsText()
    {
        const QStringList names{u"notes.md"_s, u"server.log"_s, u"table.csv"_s, u"README"_s};
        const QString name = names.constLast();
        QWidget *window = m_app->launch({u"first.txt"_s}).constFirst();
        writeBytes(m_app->dir.filePath(name), "text");
        QStringList filters;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            filters = dialog->nameFilters();
            dialog->setDirectory(m_app->dir.path());
            dialog->selectFile(name);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTest::keyClick(LaunchFixture::viewOf(window), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(filters.size(), 2);
        const QString text = filters.constFirst();
        const QStringList patterns = text.mid(text.indexOf(u'(') + 1).chopped(1).split(u' ');
        for (const QString &shown : names)
            QVERIFY2(QDir::match(patterns, shown), qPrintable(shown + u": "_s + text));
        QCOMPARE(filters.constLast(), u"All files (*)"_s);
        QTRY_VERIFY(m_app->app->documents().documentForUrl(FileNames::urlOfPath(m_app->dir.filePath(name))));
    }

private:
    std::unique_ptr<LaunchFixture> m_app;
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestOpenJourneys>(argc, argv, 2);
}
#include "tst_openjourneys.moc"
