#include "support/launchfixture.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

using namespace Qt::StringLiterals;
using TestSupport::LaunchFixture;

namespace {

struct Entry
{
    QString context;
    QString source;
    bool numerus = false;
    bool unfinished = false;
    QStringList forms; // one, or one for each plural form
};

QList<Entry> readCatalog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Entry> entries;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            entries.append({context, {}, xml.attributes().value(u"numerus"_s) == u"yes", false, {}});
        } else if (xml.name() == u"source") {
            entries.last().source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            entries.last().unfinished = xml.attributes().value(u"type"_s) == u"unfinished";
            if (!entries.last().numerus)
                entries.last().forms = {xml.readElementText()};
        } else if (xml.name() == u"numerusform") {
            entries.last().forms.append(xml.readElementText());
        }
    }
    return xml.hasError() ? QList<Entry>() : entries;
}

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
        QTest::addColumn<bool>("complete");
        const QStringList partial = QStringLiteral(NOLTNOLT_PARTIAL_TRANSLATIONS).split(u' ');
        const QDir folder(QStringLiteral(NOLTNOLT_TRANSLATIONS_DIR));
        for (const QString &name : folder.entryList({u"noltnolt_*.ts"_s})) {
            const bool complete = !partial.contains(name.section(u'_', 1).section(u'.', 0, 0));
            QTest::addRow("%s: %s", qPrintable(name), complete ? "complete" : "partial")
                << folder.filePath(name) << complete;
        }
    }

    // Nothing left untranslated in a complete catalog, nor in any translation's menus; in every translation the file
    // names and counts keep their places.
    void catalogs()
    {
        QFETCH(QString, path);
        QFETCH(bool, complete);
        const QList<Entry> entries = readCatalog(path);
        QVERIFY(!entries.isEmpty());
        QStringList faults;
        for (const Entry &entry : entries) {
            const QString where = entry.context + u": "_s + entry.source + u" → "_s;
            const bool translated = !entry.unfinished && !entry.forms.isEmpty() &&
                                    std::none_of(entry.forms.begin(), entry.forms.end(),
                                                 [](const QString &form) { return form.isEmpty(); });
            // A partial translation still names every menu item (an English one among them reads backwards) and
            // counts in its own plurals, English too: untranslated, "1 files" shows.
            if (!translated) {
                if (complete || entry.numerus || (entry.context == u"MenuTable" && !path.endsWith(u"_en.ts")))
                    faults.append(where + u"untranslated"_s);
                continue;
            }
            for (const QString &form : entry.forms) {
                if (placeholders(form) != placeholders(entry.source))
                    faults.append(where + form + u" (placeholders)"_s);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // The catalog for the languages the user's locale lists (LANGUAGE=de_AT:en gives "de-AT", "en").
    void catalogChoice_data()
    {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QString>("catalog");
        QTest::newRow("German without the region before English") << QStringList{u"de-AT"_s, u"en"_s} << u"de"_s;
        QTest::newRow("one without a catalog is passed over") << QStringList{u"fr"_s, u"de"_s} << u"de"_s;
        QTest::newRow("English") << QStringList{u"en-US"_s, u"de"_s} << u"en"_s;
        QTest::newRow("C: none, the English of the sources") << QStringList{u"C"_s} << QString();
        QTest::newRow("nothing") << QStringList() << QString();
    }
    void catalogChoice()
    {
        QFETCH(QStringList, languages);
        QTEST(AppDelegate::catalogFor(languages, {u"de"_s, u"en"_s, u"he"_s}), "catalog");
    }

    // The real window under LANGUAGE=he (set in main): the menu bar's titles in Hebrew, mirrored right to left.
    void windowsSpeakTheUsersLanguage()
    {
        LaunchFixture notes;
        QWidget *window = notes.launch({u"note.txt"_s}).constFirst();
        QStringList shown;
        for (const QAction *title : WindowController::forWindow(window)->menuBar()->actions())
            shown.append(title->text().remove(u'&'));
        QCOMPARE(shown, (QStringList{u"Nolt Nolt"_s, u"קובץ"_s, u"עריכה"_s, u"חלון"_s, u"עזרה"_s}));
        QVERIFY(window->isRightToLeft());
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
