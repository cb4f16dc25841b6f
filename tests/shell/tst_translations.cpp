#include "support/launchfixture.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;
using TestSupport::LaunchFixture;

namespace {

// The arguments a text takes, as a sorted list: "%1", "%n" and "%Ln" must all survive translation.
QStringList placeholders(const QString &text)
{
    QStringList found;
    for (const QRegularExpressionMatch &match : QRegularExpression(u"%L?(\\d+|n)"_s).globalMatch(text))
        found.append(match.captured());
    found.sort();
    return found;
}

} // namespace

// The app in the user's language: the catalogs translators hand in, and the real window under LANGUAGE.
class TestTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogs_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(QStringLiteral(NOLTNOLT_TRANSLATIONS_DIR));
        for (const QString &name : folder.entryList({u"noltnolt_*.ts"_s}))
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }

    // In every catalog the file names and counts keep their places, and counts are in the catalog's own plurals,
    // English too (untranslated, "1 files" shows). Any other text left untranslated shows in English.
    void catalogs()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString source;
        bool numerus = false, unfinished = false;
        QStringList faults;
        const auto check = [&](const QString &form) {
            if (!unfinished && placeholders(form) != placeholders(source))
                faults.append(source + u" → "_s + form);
        };
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"message") {
                numerus = xml.attributes().value(u"numerus"_s) == u"yes";
            } else if (xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                unfinished = xml.attributes().value(u"type"_s) == u"unfinished";
                if (unfinished && numerus)
                    faults.append(source + u" → untranslated"_s);
                if (!numerus)
                    check(xml.readElementText());
            } else if (xml.name() == u"numerusform") {
                check(xml.readElementText());
            }
        }
        QVERIFY(!xml.hasError());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // The real window under LANGUAGE=he (set in main): the menu bar's titles in Hebrew.
    void windowsSpeakTheUsersLanguage()
    {
        LaunchFixture notes;
        QWidget *window = notes.launch({u"note.txt"_s}).constFirst();
        QStringList shown;
        for (const QAction *title : WindowController::forWindow(window)->menuBar()->actions())
            shown.append(title->text().remove(u'&'));
        QCOMPARE(shown, (QStringList{u"Nolt Nolt"_s, u"קובץ"_s, u"עריכה"_s, u"חלון"_s, u"עזרה"_s}));
    }
};

int main(int argc, char **argv)
{
    // The user's languages are read once, when the app starts.
    for (const char *name : {"LC_ALL", "LC_MESSAGES"})
        qunsetenv(name);
    qputenv("LANG", "C.UTF-8");
    qputenv("LANGUAGE", "he");
    return TestSupport::runInOwnHome<TestTranslations>(argc, argv);
}
#include "tst_translations.moc"
