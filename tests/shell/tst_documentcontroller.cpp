#include "shell/documentcontroller.h"
#include "support/bytesdocument.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <thread>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

void showInAWindow(Document *note, WindowController *prepared)
{
    (prepared ? prepared : new WindowController(new QWidget))->setDocument(note);
}

// A note whose file reads only once the test lets it.
class SlowDocument : public BytesDocument
{
public:
    explicit SlowDocument(std::shared_ptr<QSemaphore> gate)
        : m_gate(std::move(gate))
    {}
    LoadedFile::Decoder decoder() const override
    {
        return [gate = m_gate, decode = BytesDocument::decoder()](const QByteArray &data, const QUrl &url) {
            gate->acquire();
            return decode(data, url);
        };
    }

private:
    std::shared_ptr<QSemaphore> m_gate;
};

struct Opened
{
    Document *document = nullptr;
    bool alreadyOpen = false;
    std::optional<Error> error;
};

} // namespace

class TestDocumentController : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_settings;
    int m_settingsCount = 0;

    std::unique_ptr<DocumentController> makeController()
    {
        return std::make_unique<DocumentController>([] { return new BytesDocument; }, &showInAWindow, m_settings);
    }

    QUrl note(const QString &name, const QByteArray &bytes = "text")
    {
        const QString path = m_dir.filePath(name);
        writeBytes(path, bytes);
        return QUrl::fromLocalFile(path);
    }

    static Opened open(DocumentController &controller, const QUrl &url)
    {
        Opened opened;
        bool done = false;
        controller.openDocument(url, true,
                                [&](Document *document, bool alreadyOpen, const std::optional<Error> &error) {
                                    opened = {document, alreadyOpen, error};
                                    done = true;
                                });
        if (!QTest::qWaitFor([&done] { return done; }))
            QTest::qFail("the open never finished", __FILE__, __LINE__);
        return opened;
    }

private Q_SLOTS:
    void init() { m_settings = m_dir.filePath(QStringLiteral("settings-%1.ini").arg(++m_settingsCount)); }

    void opensOnceAndRefusesWhatItCannot()
    {
        auto controller = makeController();
        const QUrl url = note(QStringLiteral("a.txt"), "hello");
        const Opened opened = open(*controller, url);
        QVERIFY(!opened.error && opened.document && !opened.alreadyOpen);
        QCOMPARE(static_cast<BytesDocument *>(opened.document)->bytes, QByteArray("hello"));
        QCOMPARE(opened.document->fileUrl(), url);
        QVERIFY(WindowController::of(opened.document).first()->window()->isVisible());
        // Through a link or a dot-dot path it is the same note, in the same window.
        QDir(m_dir.path()).mkpath(QStringLiteral("sub"));
        QFile::link(url.toLocalFile(), m_dir.filePath(QStringLiteral("link.txt")));
        for (const char *other : {"link.txt", "sub/../a.txt"}) {
            const Opened again = open(*controller, QUrl::fromLocalFile(m_dir.path() + u'/' + QLatin1String(other)));
            QVERIFY(!again.error && again.alreadyOpen);
            QCOMPARE(again.document, opened.document);
        }
        QCOMPARE(WindowController::of(opened.document).size(), 1);
        // A name nothing has yet opens empty, and typing makes the file, never over one that appeared meanwhile.
        const QString fresh = m_dir.filePath(QStringLiteral("new.txt"));
        const Opened made = open(*controller, QUrl::fromLocalFile(fresh));
        QVERIFY(!made.error && made.document);
        static_cast<BytesDocument *>(made.document)->edit("typed");
        QCOMPARE(made.document->writeNow(), std::nullopt);
        QCOMPARE(readBytes(fresh), QByteArray("typed"));
        // A refused file opens nothing, nor becomes a recent document (its message is tst_appdelegate's).
        QVERIFY(open(*controller, note(QStringLiteral("2.txt"), "REFUSE\xff")).error);
        QCOMPARE(controller->documents(), (QList<Document *>{opened.document, made.document}));
        QCOMPARE(controller->recentDocumentUrls(), (QList<QUrl>{QUrl::fromLocalFile(fresh), url}));
    }

    // Files are read on a worker thread; asking again for a file being read joins that open, and windows come in
    // the order they were asked for.
    void opensInFlightJoinAndComeInOrder()
    {
        auto controller = makeController();
        const QUrl a = note(QStringLiteral("a.txt"), "A");
        const QUrl b = note(QStringLiteral("b.txt"), "B");
        QDir(m_dir.path()).mkpath(QStringLiteral("sub"));
        const QUrl sameAsA = QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/sub/../a.txt"));
        QList<Opened> results;
        for (const QUrl &url : {a, b, sameAsA, a}) {
            controller->openDocument(url, true, [&results](Document *document, bool alreadyOpen, const auto &error) {
                results.append({document, alreadyOpen, error});
            });
        }
        QVERIFY(controller->isOpening() && results.isEmpty());
        QSignalSpy finished(controller.get(), &DocumentController::opensFinished);
        QVERIFY(finished.wait());
        const QList<Document *> documents = controller->documents();
        QCOMPARE(documents.size(), 2);
        QCOMPARE(documents.first()->fileUrl(), a);
        QCOMPARE(results.size(), 4);
        const QList<Document *> expected{documents.first(), documents.first(), documents.first(), documents.last()};
        for (int i = 0; i < results.size(); ++i) {
            QCOMPARE(results.at(i).document, expected.at(i));
            QCOMPARE(results.at(i).alreadyOpen, i == 1 || i == 2);
        }
    }

    // A file still being read once its window is ready (a long note) has its window shown at once; the note comes
    // into that window, or the window goes when the open ends without a note.
    void aWindowShowsWhileItsFileIsRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("read") << QByteArray("long") << u""_s;
        QTest::newRow("refused") << QByteArray("REFUSE\xff") << u""_s;
        QTest::newRow("closed by the user") << QByteArray("long") << u"close"_s;
        QTest::newRow("quit: the note comes in to be written") << QByteArray("long") << u"quit"_s;
    }
    void aWindowShowsWhileItsFileIsRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, meanwhile);
        QApplication::setQuitOnLastWindowClosed(false);
        auto gate = std::make_shared<QSemaphore>();
        DocumentController controller([gate] { return new SlowDocument(gate); }, &showInAWindow, m_settings);
        QPointer<WindowController> prepared;
        controller.setWindowPreparer([&prepared] { return prepared = new WindowController(new QWidget); });
        const QUrl url = note(u"slow.txt"_s, bytes);
        std::optional<Opened> opened;
        // Where the open's error is told, the window must be gone already: the only window's close ends the app.
        bool shownAtTheEnd = false;
        controller.openDocument(url, true, [&](Document *document, bool alreadyOpen, const auto &error) {
            opened = Opened{document, alreadyOpen, error};
            shownAtTheEnd = prepared && prepared->window()->isVisible();
        });
        QTRY_VERIFY(prepared && prepared->window()->isVisible());
        QCOMPARE(prepared->window()->windowTitle(), u"slow.txt"_s);
        QVERIFY(controller.documents().isEmpty() && !opened);
        if (meanwhile == u"close")
            prepared->window()->close();
        if (meanwhile == u"quit") {
            std::thread later([gate] {
                QThread::msleep(50);
                gate->release();
            });
            QVERIFY(controller.reviewUnsavedDocumentsBeforeQuit());
            later.join();
            QCOMPARE(controller.documents().size(), 1);
            QCOMPARE(WindowController::of(controller.documents().first()), (QList<WindowController *>{prepared}));
            return;
        }
        gate->release();
        QTRY_VERIFY(opened);
        const bool gets = meanwhile.isEmpty() && !bytes.startsWith("REFUSE");
        QCOMPARE(bool(opened->document), gets);
        QCOMPARE(shownAtTheEnd, gets);
        QCOMPARE(bool(opened->error), bytes.startsWith("REFUSE"));
        if (gets)
            QCOMPARE(WindowController::of(opened->document), (QList<WindowController *>{prepared}));
        else
            QVERIFY(!prepared);
    }
};

QTEST_MAIN(TestDocumentController)
#include "tst_documentcontroller.moc"
