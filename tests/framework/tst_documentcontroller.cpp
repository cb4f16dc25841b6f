#include "framework/documentcontroller.h"
#include "support/bytesdocument.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace TestSupport;

namespace {

constexpr char textTypes[] = R"({"DocumentTypes": [{"TypeName": "text/plain", "MimeTypes": ["text/plain"],
    "DocumentClass": "BytesDocument"}]})";

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
        auto controller = std::make_unique<DocumentController>(m_settings);
        controller->setDocumentTypes(DocumentController::documentTypesFromInfo(textTypes));
        controller->registerDocumentClass(BytesDocument::staticMetaObject);
        return controller;
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
        controller.openDocument(url, true,
                                [&opened](Document *document, bool alreadyOpen, const std::optional<Error> &error) {
                                    opened = {document, alreadyOpen, error};
                                });
        return opened;
    }

private Q_SLOTS:
    void init() { m_settings = m_dir.filePath(QStringLiteral("settings-%1.ini").arg(++m_settingsCount)); }

    void opensReadsAndShowsOrNamesTheMissingFile()
    {
        auto controller = makeController();
        const QUrl url = note(QStringLiteral("a.txt"), "hello");
        const Opened opened = open(*controller, url);
        QVERIFY(!opened.error);
        QVERIFY(opened.document);
        QVERIFY(!opened.alreadyOpen);
        QCOMPARE(static_cast<BytesDocument *>(opened.document)->bytes, QByteArray("hello"));
        QCOMPARE(opened.document->fileUrl(), url);
        QCOMPARE(opened.document->windowControllers().size(), 1);
        QVERIFY(opened.document->windowControllers().first()->window()->isVisible());
        QCOMPARE(controller->documents(), QList<Document *>{opened.document});

        const Opened missing = open(*controller, QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("gone.txt"))));
        QVERIFY(missing.error);
        QVERIFY2(missing.error->description().contains(u"gone.txt"), qPrintable(missing.error->description()));
        QCOMPARE(controller->documents().size(), 1);
    }

    void alreadyOpen_data()
    {
        QTest::addColumn<QString>("secondPath");
        QTest::newRow("through a link") << "link.txt";
        QTest::newRow("through a dot-dot path") << "sub/../a.txt";
    }
    void alreadyOpen()
    {
        QFETCH(QString, secondPath);
        auto controller = makeController();
        const QUrl url = note(QStringLiteral("a.txt"));
        QDir(m_dir.path()).mkpath(QStringLiteral("sub"));
        QFile::link(url.toLocalFile(), m_dir.filePath(QStringLiteral("link.txt")));
        const Opened first = open(*controller, url);
        const Opened second = open(*controller, QUrl::fromLocalFile(m_dir.path() + u'/' + secondPath));
        QVERIFY(!second.error);
        QVERIFY(second.alreadyOpen);
        QCOMPARE(second.document, first.document);
        QCOMPARE(controller->documents().size(), 1);
        QCOMPARE(first.document->windowControllers().size(), 1);
    }

    void threeFilesMiddleRefused()
    {
        auto controller = makeController();
        const QList<QUrl> urls{note(QStringLiteral("1.txt")), note(QStringLiteral("2.txt"), "REFUSE\xff"),
                               note(QStringLiteral("3.txt"))};
        QStringList errors;
        int opened = 0;
        for (const QUrl &url : urls) {
            const Opened result = open(*controller, url);
            if (result.error)
                errors.append(result.error->description());
            else
                ++opened;
        }
        QCOMPARE(opened, 2);
        QCOMPARE(errors, QStringList{QStringLiteral("This file is not UTF-8 plain text.")});
        QCOMPARE(controller->documents().size(), 2);
        // A file that did not open is not a recent document.
        const QList<QUrl> recent{urls.at(2), urls.at(0)};
        QCOMPARE(controller->recentDocumentUrls(), recent);
    }

    void recentListIsKeptAcrossLaunches()
    {
        {
            auto controller = makeController();
            for (const char *name : {"a.txt", "b.txt", "a.txt"})
                controller->noteNewRecentDocumentUrl(note(name));
        }
        // A new launch reads the same list; a reopened note moved to the front, once.
        auto controller = makeController();
        QCOMPARE(controller->recentDocumentUrls(), (QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath("a.txt")),
                                                                QUrl::fromLocalFile(m_dir.filePath("b.txt"))}));
        controller->clearRecentDocuments(nullptr);
        QVERIFY(makeController()->recentDocumentUrls().isEmpty());
    }

    void recentListFollowsARenameOrMove_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("renamed") << "rename";
        QTest::newRow("moved to another folder") << "move";
    }
    void recentListFollowsARenameOrMove()
    {
        QFETCH(QString, command);
        QDir(m_dir.path()).mkpath(QStringLiteral("moved-here"));
        const QString newPath = command == u"rename"
                                    ? m_dir.filePath(QStringLiteral("renamed-%1.txt").arg(m_settingsCount))
                                    : m_dir.filePath(QStringLiteral("moved-here/a-%1.txt").arg(m_settingsCount));
        auto controller = makeController();
        const QUrl first = note(QStringLiteral("a-%1.txt").arg(m_settingsCount));
        const QUrl other = note(QStringLiteral("b-%1.txt").arg(m_settingsCount));
        Document *document = open(*controller, first).document;
        QVERIFY(document);
        QVERIFY(open(*controller, other).document);
        Document::setFileNameAsker([&newPath](Document *) { return QFileInfo(newPath).fileName(); });
        Document::setFolderAsker([&newPath](Document *) { return QFileInfo(newPath).absolutePath(); });
        if (command == u"rename")
            document->renameDocument(nullptr);
        else
            document->moveDocument(nullptr);
        Document::setFileNameAsker({});
        Document::setFolderAsker({});
        QCOMPARE(document->fileUrl(), QUrl::fromLocalFile(newPath));
        // The old entry would open nothing; the note is listed once, under its new place.
        QCOMPARE(controller->recentDocumentUrls(), (QList<QUrl>{QUrl::fromLocalFile(newPath), other}));
        QCOMPARE(controller->documentForUrl(QUrl::fromLocalFile(newPath)), document);
        QCOMPARE(controller->documentForUrl(first), nullptr);
    }

    void closingTheWindowLetsTheDocumentGo()
    {
        auto controller = makeController();
        const QUrl url = note(QStringLiteral("a.txt"));
        const Opened opened = open(*controller, url);
        QPointer<Document> document = opened.document;
        document->windowControllers().first()->window()->close();
        QTRY_VERIFY(document.isNull());
        QVERIFY(controller->documents().isEmpty());
        // Opening it again makes a fresh document.
        const Opened again = open(*controller, url);
        QVERIFY(!again.alreadyOpen);
    }

    void quitWritesEditsAndRemembersOpenNotes()
    {
        auto controller = makeController();
        const QUrl first = note(QStringLiteral("first.txt"), "one");
        const QUrl second = note(QStringLiteral("second.txt"), "two");
        const QUrl third = note(QStringLiteral("third.txt"), "three");
        open(*controller, second);
        const Opened edited = open(*controller, first);
        open(*controller, third);
        static_cast<BytesDocument *>(edited.document)->edit("one, edited");
        QVERIFY(controller->reviewUnsavedDocumentsBeforeQuit());
        QCOMPARE(readBytes(first.toLocalFile()), QByteArray("one, edited"));

        // Next launch: in the order opened, without one deleted meanwhile, and only once.
        QFile::remove(third.toLocalFile());
        auto next = makeController();
        const QList<QUrl> expected{second, first};
        QCOMPARE(next->takeRememberedDocumentUrls(), expected);
        QVERIFY(next->takeRememberedDocumentUrls().isEmpty());
    }
};

QTEST_MAIN(TestDocumentController)
#include "tst_documentcontroller.moc"
