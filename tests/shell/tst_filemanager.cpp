#include "shell/filemanager.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QTest>

namespace {

// A file manager on the test's own session bus, answering ShowItems as a desktop's would.
class FileManagerService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown.append(uris); }
};

} // namespace

class TestFileManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
    }

    void showsTheFileSelected()
    {
        FileManagerService service;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("filemanager"));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QList<QUrl> folders;
        const QUrl note = QUrl::fromLocalFile(QStringLiteral("/home/u/Desktop/20261014 Note.txt"));
        FileManager::showItems({note}, [&folders](const QUrl &folder) { folders.append(folder); });
        QTRY_COMPARE(service.shown.size(), 1);
        QCOMPARE(service.shown.first(), QStringList{QStringLiteral("file:///home/u/Desktop/20261014%20Note.txt")});
        QVERIFY(folders.isEmpty());
        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("filemanager"));
    }

    void withoutFileManagerOpensTheFolder()
    {
        QList<QUrl> folders;
        FileManager::showItems({QUrl::fromLocalFile(QStringLiteral("/home/u/Desktop/a.txt"))},
                               [&folders](const QUrl &folder) { folders.append(folder); });
        QTRY_COMPARE(folders, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/home/u/Desktop"))});
    }
};

QTEST_GUILESS_MAIN(TestFileManager)
#include "tst_filemanager.moc"
