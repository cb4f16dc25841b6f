#include "editor/messagebar.h"
#include "editor/notetextview.h"
#include "editor/findbar.h"
#include "editor/windowcontroller.h"
#include "framework/filenames.h"
#include "shell/appdelegate.h"
#include "shell/documentcontroller.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using TestSupport::writeBytes;

// Opening files and the window's first look, as a new user meets them on a small, scaled screen.
class TestOpenJourneys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() { m_app = std::make_unique<AppDelegate>(); }
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
        writeBytes(m_dir.filePath(u"latin1.txt"_s), "caf\xe9");
        QWidget *good =
            launch(withGoodFile ? QStringList{u"latin1.txt"_s, u"good.txt"_s} : QStringList{u"latin1.txt"_s});
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
        QWidget *window = launch({u"first.txt"_s});
        writeBytes(m_dir.filePath(name), "text");
        QStringList filters;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            filters = dialog->nameFilters();
            dialog->setDirectory(m_dir.path());
            dialog->selectFile(name);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTest::keyClick(window->findChild<NoteTextView *>(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(filters.size(), 2);
        const QString text = filters.constFirst();
        const QStringList patterns = text.mid(text.indexOf(u'(') + 1).chopped(1).split(u' ');
        for (const QString &shown : names)
            QVERIFY2(QDir::match(patterns, shown), qPrintable(shown + u": "_s + text));
        QCOMPARE(filters.constLast(), u"All files (*)"_s);
        QTRY_VERIFY(m_app->documents().documentForUrl(FileNames::urlOfPath(m_dir.filePath(name))));
    }

    // On a 1280x900 screen at scale 2: the window fits, and the find bar and word count can be read at any size.
    void everythingFits_data()
    {
        QTest::addColumn<bool>("smallest");
        QTest::newRow("as it opens") << false;
        QTest::newRow("at its minimum size") << true;
    }

    void everythingFits()
    {
        QFETCH(bool, smallest);
        QWidget *window = launch({u"fit.txt"_s});
        if (smallest)
            window->resize(window->minimumSize());
        QTest::keyClick(window->findChild<NoteTextView *>(), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        auto *findBar = window->findChild<FindBar *>();
        QTRY_VERIFY(findBar->isVisible());
        QTRY_VERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        const auto count = std::find_if(labels.begin(), labels.end(),
                                        [](QLabel *label) { return label->accessibleName() == u"Word count"; });
        QVERIFY(count != labels.end());
        auto *caseBox = findBar->findChild<QCheckBox *>();
        QTRY_VERIFY(caseBox->width() >= caseBox->sizeHint().width());
        for (QWidget *shown : QList<QWidget *>{findBar->searchField(), findBar->replaceField(), caseBox, *count}) {
            const QRect place(shown->mapTo(window, QPoint()), shown->size());
            QVERIFY2(window->rect().contains(place), shown->metaObject()->className());
        }
        QVERIFY(findBar->searchField()->width() >= 10 * findBar->searchField()->fontMetrics().averageCharWidth());
        QVERIFY((*count)->height() >= (*count)->fontMetrics().height());
    }

private:
    // Launches the app with these files ("text" in each unless they exist) and gives the last window that opens.
    QWidget *launch(const QStringList &names)
    {
        QList<QUrl> urls;
        for (const QString &name : names) {
            if (!QFileInfo::exists(m_dir.filePath(name)))
                writeBytes(m_dir.filePath(name), "text");
            urls.append(FileNames::urlOfPath(m_dir.filePath(name)));
        }
        m_app->setLaunchFiles(urls);
        m_app->applicationDidFinishLaunching();
        if (!QTest::qWaitFor([this] { return !m_app->documents().isOpening(); }, 10000))
            return nullptr;
        for (auto it = urls.crbegin(); it != urls.crend(); ++it) {
            if (Document *note = m_app->documents().documentForUrl(*it)) {
                QWidget *window = WindowController::of(note).constFirst()->window();
                window->activateWindow();
                return QTest::qWaitForWindowActive(window) ? window : nullptr;
            }
        }
        return nullptr;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<AppDelegate> m_app;
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestOpenJourneys>(argc, argv, 2);
}
#include "tst_openjourneys.moc"
