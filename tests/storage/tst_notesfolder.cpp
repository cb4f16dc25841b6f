#include "storage/notesfolder.h"
#include "support/testsupport.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The panel as a user who answers with a fixed folder (or cancels), counting how often it was shown.
struct ScriptedPanel
{
    std::optional<QUrl> answer;
    int shown = 0;

    ScriptedPanel(NotesFolder &folder, const QString &answerPath = {})
    {
        if (!answerPath.isEmpty())
            answer = QUrl::fromLocalFile(answerPath);
        folder.setPanel([this](const NotesFolder::PanelRequest &) {
            ++shown;
            return answer;
        });
    }
};

} // namespace

class TestNotesFolder : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_settings;
    QString m_folderA;
    QString m_folderB;

private Q_SLOTS:
    void init()
    {
        m_settings = m_dir.filePath(u"settings-%1.ini"_s.arg(QTest::currentDataTag()).replace(u':', u'_'));
        QFile::remove(m_settings);
        m_folderA = m_dir.filePath(u"Notes A"_s);
        m_folderB = m_dir.filePath(u"Notes B"_s);
        QDir(m_folderA).removeRecursively();
        QDir(m_folderB).removeRecursively();
        QVERIFY(QDir().mkpath(m_folderA));
        QVERIFY(QDir().mkpath(m_folderB));
    }

    // A new launch: what the stored preference holds, and what the user answers if asked.
    void resolveAtLaunch_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("panelShown");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("no preference: asks, user picks B") << u"none"_s << u"B"_s << 1 << u"B"_s << u"B"_s;
        QTest::newRow("valid bookmark: no panel") << u"A"_s << u"B"_s << 0 << u"A"_s << u"A"_s;
        QTest::newRow("folder deleted: asks, cancel keeps old preference")
            << u"deleted A"_s << u"cancel"_s << 1 << u""_s << u"old"_s;
    }
    void resolveAtLaunch()
    {
        QFETCH(QString, stored);
        QFETCH(QString, answer);
        QFETCH(QString, result);
        QFETCH(QString, storedAfter);

        if (stored.endsWith(u'A'))
            QSettings(m_settings, QSettings::IniFormat)
                .setValue(QLatin1String(NotesFolder::key), NotesFolder::bookmarkData(QUrl::fromLocalFile(m_folderA)));
        if (stored == u"deleted A")
            QVERIFY(QDir(m_folderA).removeRecursively());
        const QVariant before = QSettings(m_settings, QSettings::IniFormat).value(QLatin1String(NotesFolder::key));

        NotesFolder folder(m_settings);
        ScriptedPanel panel(folder, answer == u"B" ? m_folderB : QString());
        const std::optional<QUrl> resolved = folder.resolve();

        QTEST(panel.shown, "panelShown");
        const QString expectedPath = result == u"A" ? m_folderA : result == u"B" ? m_folderB : QString();
        QCOMPARE(resolved.value_or(QUrl()).toLocalFile(), expectedPath);
        QCOMPARE(folder.currentUrl().value_or(QUrl()).toLocalFile(), expectedPath);

        const QVariant after = QSettings(m_settings, QSettings::IniFormat).value(QLatin1String(NotesFolder::key));
        if (storedAfter == u"old") {
            QCOMPARE(after, before);
        } else {
            const NotesFolder::Resolved back = NotesFolder::resolveBookmark(after.toByteArray());
            QCOMPARE(back.url.toLocalFile(), storedAfter.startsWith(u'A') ? m_folderA : m_folderB);
            QVERIFY(!back.stale);
        }
    }
};

QTEST_GUILESS_MAIN(TestNotesFolder)
#include "tst_notesfolder.moc"
