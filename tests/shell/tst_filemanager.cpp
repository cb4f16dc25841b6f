#include "shell/filemanager.h"
#include "support/testsupport.h"

#include <QDBusConnection>
#include <QTest>

using namespace Qt::StringLiterals;

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

    // A file manager on the bus shows the file selected; without one, the folder opens.
    void showsTheFileSelected()
    {
        FileManagerService service;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"filemanager"_s);
        QVERIFY(bus.registerObject(u"/org/freedesktop/FileManager1"_s, &service, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(u"org.freedesktop.FileManager1"_s));
        QList<QUrl> folders;
        const auto openFolder = [&folders](const QUrl &folder) {
            folders.append(folder);
        };
        const QUrl note = QUrl::fromLocalFile(u"/home/u/Desktop/20261014 Note.txt"_s);
        FileManager::showItems({note}, openFolder);
        QTRY_COMPARE(service.shown.size(), 1);
        QCOMPARE(service.shown.first(), QStringList{u"file:///home/u/Desktop/20261014%20Note.txt"_s});
        bus.unregisterService(u"org.freedesktop.FileManager1"_s);
        QDBusConnection::disconnectFromBus(u"filemanager"_s);
        FileManager::showItems({note}, openFolder);
        QTRY_COMPARE(folders, QList<QUrl>{QUrl::fromLocalFile(u"/home/u/Desktop"_s)});
    }
};

QTEST_GUILESS_MAIN(TestFileManager)
#include "tst_filemanager.moc"
