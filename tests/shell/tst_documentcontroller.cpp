#include "shell/documentcontroller.h"
#include "support/bytesdocument.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

void showInAWindow(Document *note, WindowController *)
{
    (new WindowController(new QWidget))->setDocument(note);
}

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
};

QTEST_MAIN(TestDocumentController)
#include "tst_documentcontroller.moc"
