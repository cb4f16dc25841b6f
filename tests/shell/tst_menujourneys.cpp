#include "editor/actiondispatcher.h"
#include "editor/editor.h"
#include "editor/findbar.h"
#include "editor/messagebar.h"
#include "editor/notetextview.h"
#include "editor/windowcontroller.h"
#include "framework/document.h"
#include "framework/filenames.h"
#include "shell/appdelegate.h"
#include "shell/documentcontroller.h"
#include "shell/menubar.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using TestSupport::readBytes;
using TestSupport::writeBytes;

// What a new user does through the real app's menu bar and keys: hiding the app, Save As, undoing from the find bar,
// the Window menu's list and printing.
class TestMenuJourneys : public QObject
{
    Q_OBJECT

public:
    TestMenuJourneys()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u"config"_s)));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.filePath(u"state"_s)));
        // A desktop's own file dialog runs in another process, out of the test's reach.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_app = std::make_unique<AppDelegate>();
        m_app->setNotesFolder(m_dir->filePath(u"Desktop"_s));
    }
    void cleanup()
    {
        m_app.reset();
        m_dir.reset();
    }

    // Ctrl+H leaves every note window where the taskbar finds it; items that could never act here are not shown.
    void hideMinimisesAndNothingDeadIsShown()
    {
        const QList<QWidget *> windows = launch({u"one.txt"_s, u"two.txt"_s});
        QTest::keyClick(windows.last(), Qt::Key_H, Qt::ControlModifier);
        for (QWidget *window : windows)
            QTRY_VERIFY(window->isMinimized() && window->isVisible());
        const MenuBar *bar = barOf(windows.last());
        QVERIFY(!bar->menu(MenuTable::Role::Services));
        for (const QAction *item : bar->actions().constFirst()->menu()->actions()) {
            const std::optional<Command> command = ActionDispatcher::commandOf(item);
            QVERIFY(command != Command::HideOthers && command != Command::ShowAll && !item->menu());
        }
    }

    void saveAsFromTheFileMenu_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("a note that can be written") << false;
        QTest::newRow("a read-only note: Ctrl+S adds no second bar") << true;
    }

    void saveAsFromTheFileMenu()
    {
        QFETCH(bool, readOnly);
        QWidget *window = launch({u"note.txt"_s}, readOnly).constFirst();
        NoteTextView *view = window->findChild<NoteTextView *>();
        QTest::keyClicks(view, u"typed "_s);
        const QByteArray typed = view->text().toUtf8();
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(WindowController::forWindow(window)->document()->finishWrites());
        QCOMPARE(shownBars(window), readOnly ? 1 : 0);
        const QString copy = m_dir->filePath(u"copy.txt"_s);
        // The app's own dialog, answered with a new name.
        QTimer::singleShot(0, this, [copy] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectFile(copy);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(readBytes(copy), typed);
        QTRY_COMPARE(window->windowTitle(), u"copy"_s);
        QCOMPARE(readBytes(m_dir->filePath(u"note.txt"_s)), readOnly ? QByteArray("text") : typed);
        QTRY_COMPARE(shownBars(window), 0);
    }

    // After Replace All, Ctrl+Z undoes it wherever in the find bar the focus is: on the button, or in a field that
    // has nothing of its own left to undo. Tab goes from the search text to the replacement.
    void undoFromTheFindBar_data()
    {
        QTest::addColumn<bool>("backInTheSearchField");
        QTest::newRow("focus on All") << false;
        QTest::newRow("focus in the search field: its own typing first") << true;
    }

    void undoFromTheFindBar()
    {
        QFETCH(bool, backInTheSearchField);
        QWidget *window = launch({u"note.txt"_s}).constFirst();
        NoteTextView *view = window->findChild<NoteTextView *>();
        view->setText(u"one two one"_s);
        auto *findBar = window->findChild<FindBar *>();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), findBar->searchField());
        QTest::keyClicks(findBar->searchField(), u"one"_s);
        QTest::keyClick(findBar->searchField(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), findBar->replaceField());
        QTest::keyClicks(findBar->replaceField(), u"1"_s);
        QTest::keyClick(findBar->replaceField(), Qt::Key_Tab);     // Replace
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // All
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(view->text(), u"1 two 1"_s);
        const MenuBar *bar = barOf(window);
        QTRY_VERIFY(itemOf(bar, Command::Undo)->isEnabled());
        QVERIFY(itemOf(bar, Command::SelectAll)->isEnabled());
        if (backInTheSearchField) {
            QTest::mouseClick(findBar->searchField(), Qt::LeftButton);
            QCOMPARE(QApplication::focusWidget(), findBar->searchField());
            for (int i = 0; i < 10 && findBar->searchField()->isUndoAvailable(); ++i)
                QTest::keyClick(findBar->searchField(), Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(findBar->searchField()->text(), QString());
            QCOMPARE(view->text(), u"1 two 1"_s);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->text(), u"one two one"_s);
    }

    void windowMenuInOpeningOrder_data()
    {
        QTest::addColumn<int>("active");
        QTest::newRow("the first opened is active") << 0;
        QTest::newRow("the last opened is active") << 2;
    }

    void windowMenuInOpeningOrder()
    {
        QFETCH(int, active);
        const QStringList names{u"b.txt"_s, u"c.txt"_s, u"a.txt"_s};
        const QList<QWidget *> windows = launch(names);
        windows.at(active)->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(windows.at(active)));
        MenuBar *bar = barOf(windows.at(active));
        QMenu *menu = bar->menu(MenuTable::Role::Windows);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        // The list closes the menu, after a separator.
        const QList<QAction *> items = menu->actions();
        QVERIFY(items.size() > names.size() && items.at(items.size() - names.size() - 1)->isSeparator());
        QStringList listed;
        for (const QAction *item : items.mid(items.size() - names.size())) {
            QCOMPARE(item->isCheckable(), item->isChecked()); // no empty box beside the others
            listed.append(item->text() + (item->isChecked() ? u" *"_s : QString()));
        }
        const QStringList expected{active == 0 ? u"b *"_s : u"b"_s, u"c"_s, active == 2 ? u"a *"_s : u"a"_s};
        QCOMPARE(listed, expected);
        menu->close();
    }

    // File › Print… (Ctrl+P) prints what the window shows, page after page under a header, within the margins the
    // dialog leaves (about 2 cm unless the user changes them) and in the window's type at its usual size however
    // zoomed the window is; a line at a page's end is on the next page only. An empty note is told in its window
    // instead of opening a dialog for nothing, in a bar whose close button shows under a dark palette.
    void printsTheNoteAsShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("marginMm");
        QString pages;
        for (int line = 1; line <= 90; ++line)
            pages += u"Line %1: "_s.arg(line) + QString(u"wrapped words "_s).repeated(line % 3 == 0 ? 12 : 2) + u'\n';
        // Emoji from the Basic Multilingual Plane: those beyond it come back from Qt 6.4's PDFs as no text at all.
        // A paragraph in Hebrew is laid out right to left.
        pages += u"Smile \u263A and a heart \u2764\n\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD "
                 u"\u05D6\u05D5 \u05E4\u05E1\u05E7\u05D4 \u05D1\u05E2\u05D1\u05E8\u05D9\u05EA\nThe end."_s;
        QTest::newRow("pages with long lines, emoji and a right-to-left paragraph") << pages << 20.0;
        QTest::newRow("margins of 3 cm chosen in the dialog") << pages << 30.0;
        QTest::newRow("an empty note") << QString() << 20.0;
    }
    void printsTheNoteAsShown()
    {
        QFETCH(QString, text);
        QFETCH(double, marginMm);
        // Dark palettes often keep the light tooltip colours the bar takes.
        const auto restore = qScopeGuard([before = QApplication::palette()] { QApplication::setPalette(before); });
        QApplication::setPalette(QPalette(QColor(53, 53, 53)));
        QWidget *window = launch({u"note.txt"_s}, false, text.toUtf8()).constFirst();
        NoteTextView *view = window->findChild<NoteTextView *>();
        for (int step = 0; step < 10; ++step)
            QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(view->font().pointSize() >= 25);
        const QString pdf = m_dir->filePath(u"note.pdf"_s);
        bool asked = false;
        QTimer::singleShot(0, this, [pdf, marginMm, &asked] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            asked = true;
            // Without a print server the platform's dialog offers printing to a PDF file, named in this field.
            auto *file = dialog->findChild<QLineEdit *>(u"filename"_s);
            QVERIFY(file);
            file->setText(pdf);
            if (marginMm != 20.0) {
                // The page setup of the dialog's printer properties, as the user fills it in.
                QTimer::singleShot(0, dialog, [marginMm] {
                    QWidget *properties = QApplication::activeModalWidget();
                    for (const char *side : {"topMargin", "bottomMargin", "leftMargin", "rightMargin"})
                        properties->findChild<QDoubleSpinBox *>(QLatin1String(side))->setValue(marginMm);
                    QMetaObject::invokeMethod(properties, "accept");
                });
                dialog->findChild<QPushButton *>(u"properties"_s)->click();
            }
            dialog->accept();
        });
        QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(asked, !text.isEmpty());
        if (text.isEmpty()) {
            QTRY_COMPARE(shownBars(window), 1);
            QVERIFY(!QFileInfo::exists(pdf));
            const MessageBar *bar = window->findChild<MessageBar *>();
            const QImage close = bar->findChild<QToolButton *>()->grab().toImage();
            int contrast = 0;
            for (int y = 0; y < close.height(); ++y) {
                for (int x = 0; x < close.width(); ++x)
                    contrast = std::max(
                        contrast, std::abs(qGray(close.pixel(x, y)) - qGray(bar->palette().window().color().rgb())));
            }
            QVERIFY2(contrast > 100, qPrintable(QString::number(contrast)));
            return;
        }
        QCOMPARE(shownBars(window), 0);
        QString printed = QString::fromUtf8(TestSupport::run(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, pdf, u"-"_s}).out);
        if (printed.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        // Where each word stands, in points, as the PDF has them (right-to-left words come out drawn backwards).
        const QString boxes = QString::fromUtf8(TestSupport::run(u"pdftotext"_s, {u"-bbox"_s, pdf, u"-"_s}).out);
        QRectF used;
        qreal body = 0;
        static const QRegularExpression word(
            uR"re(<word xMin="(\S+)" yMin="(\S+)" xMax="(\S+)" yMax="(\S+)">(\w*))re"_s);
        for (const QRegularExpressionMatch &at : word.globalMatch(boxes)) {
            const QRectF box(QPointF(at.captured(1).toDouble(), at.captured(2).toDouble()),
                             QPointF(at.captured(3).toDouble(), at.captured(4).toDouble()));
            used = used.isNull() ? box : used.united(box);
            if (at.captured(5) == u"wrapped")
                body = box.height();
        }
        const QRegularExpressionMatch size =
            QRegularExpression(uR"re(<page width="(\S+)" height="(\S+)")re"_s).match(boxes);
        // Every page is headed by the note's name and its number; the rest is the note once, wrapped as the page
        // needs.
        QVERIFY2(printed.contains(u"Page 1 of %1\n"_s.arg(boxes.count(u"<page "_s))), qPrintable(printed.left(400)));
        printed.remove(QRegularExpression(u"note\\.txt|Page \\d+ of \\d+"_s));
        // Spaces and line breaks are the page's; the marks a reader adds around right-to-left runs are its own.
        const auto letters = [](QString all) {
            return all.remove(QRegularExpression(u"[\\s\\x{202A}-\\x{202E}]"_s));
        };
        QCOMPARE(letters(printed), letters(text));
        // The header starts at the top and left margins; nothing passes the others.
        const qreal margin = marginMm * 72 / 25.4;
        const QRectF page = QRectF(0, 0, size.captured(1).toDouble(), size.captured(2).toDouble())
                                .marginsRemoved({margin, margin, margin, margin});
        QVERIFY2(std::abs(used.left() - page.left()) < 2 && std::abs(used.top() - page.top()) < 3 &&
                     page.adjusted(-1, -1, 1, 1).contains(used),
                 QTest::toString(used));
        // A line of 15 pt type is about 15 to 21 pt high in any font; the zoomed window's would be 25 pt or more.
        QVERIFY2(body >= 14 && body <= 22, qPrintable(QString::number(body)));
    }

private:
    // Launches the app with these notes ("text" in each) and waits for their windows, in the order given.
    QList<QWidget *> launch(const QStringList &names, bool readOnly = false, const QByteArray &text = "text")
    {
        QList<QUrl> urls;
        for (const QString &name : names) {
            const QString path = m_dir->filePath(name);
            writeBytes(path, text);
            if (readOnly)
                ::chmod(QFile::encodeName(path).constData(), 0444);
            urls.append(FileNames::urlOfPath(path));
        }
        m_app->setLaunchFiles(urls);
        m_app->applicationDidFinishLaunching();
        QList<QWidget *> windows;
        for (const QUrl &url : urls) {
            if (!QTest::qWaitFor([&] { return m_app->documents().documentForUrl(url); }))
                return {};
            windows.append(WindowController::of(m_app->documents().documentForUrl(url)).constFirst()->window());
        }
        QWidget *last = windows.constLast();
        last->activateWindow();
        if (!QTest::qWaitForWindowActive(last))
            return {};
        last->findChild<NoteTextView *>()->setFocus();
        return windows;
    }

    static MenuBar *barOf(QWidget *window)
    {
        return qobject_cast<MenuBar *>(WindowController::forWindow(window)->menuBar());
    }

    static QAction *itemOf(const MenuBar *bar, Command command)
    {
        const QList<QAction *> items = bar->findChildren<QAction *>();
        for (QAction *item : items) {
            if (ActionDispatcher::commandOf(item) == command)
                return item;
        }
        return nullptr;
    }

    static int shownBars(const QWidget *window)
    {
        const QList<MessageBar *> bars = window->findChildren<MessageBar *>();
        return int(std::count_if(bars.begin(), bars.end(), [](const MessageBar *bar) { return bar->isVisible(); }));
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppDelegate> m_app;
};

QTEST_MAIN(TestMenuJourneys)
#include "tst_menujourneys.moc"
