#include "editor/editor.h"
#include "editor/findbar.h"
#include "editor/messagebar.h"
#include "support/launchfixture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QXmlStreamReader>

#include <algorithm>

using namespace Qt::StringLiterals;
using TestSupport::LaunchFixture;

namespace {

// Set in the run a row starts under its own environment: the app reads the user's languages once, at launch.
constexpr char languageRunVariable[] = "NOLTNOLT_LANGUAGE_RUN";

const QStringList german{u"Nolt Nolt"_s, u"Datei"_s, u"Bearbeiten"_s, u"Fenster"_s, u"Hilfe"_s};
const QStringList hebrew{u"Nolt Nolt"_s, u"קובץ"_s, u"עריכה"_s, u"חלון"_s, u"עזרה"_s};

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

// Letters marked with "&" as mnemonics; "&&" is an ampersand.
int mnemonics(const QString &text)
{
    static const QRegularExpression mark(u"(?<!&)&[\\p{L}\\p{N}]"_s);
    int count = 0;
    for (QRegularExpressionMatchIterator found = mark.globalMatch(text); found.hasNext(); found.next())
        ++count;
    return count;
}

// A title as the user reads it: "&Datei" shows as "Datei", "&&" as "&".
QString shownText(const QString &title)
{
    QString shown;
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == u'&' && i + 1 < title.size())
            ++i;
        shown.append(title.at(i));
    }
    return shown;
}

// Where a widget starts in its window.
int left(const QWidget *widget)
{
    return widget->mapTo(widget->window(), QPoint()).x();
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
    // names and counts keep their places, a mnemonic stays a mnemonic and "…" still says that a dialog follows. Menu
    // titles may choose their mnemonic; the menu bar picks one for those that do not.
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
                const bool mnemonicAllowed = entry.context == u"MenuTable" && mnemonics(form) <= 1;
                if (mnemonics(form) != mnemonics(entry.source) && !mnemonicAllowed)
                    faults.append(where + form + u" (mnemonic)"_s);
                if (entry.source.endsWith(u'…') && !form.endsWith(u'…'))
                    faults.append(where + form + u" (…)"_s);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // The catalog for the languages the user's locale lists (LANGUAGE=de_AT:en gives "de-AT", "en").
    void catalogChoice_data()
    {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QString>("catalog");
        QTest::newRow("de") << QStringList{u"de"_s} << u"de"_s;
        QTest::newRow("a region: the language's") << QStringList{u"de-DE"_s} << u"de"_s;
        QTest::newRow("German without the region before English") << QStringList{u"de-AT"_s, u"en"_s} << u"de"_s;
        QTest::newRow("one without a catalog is passed over") << QStringList{u"fr"_s, u"de"_s} << u"de"_s;
        QTest::newRow("a script and a region") << QStringList{u"he-Hebr-IL"_s} << u"he"_s;
        QTest::newRow("in capitals") << QStringList{u"DE-AT"_s} << u"de"_s;
        QTest::newRow("English") << QStringList{u"en-US"_s, u"de"_s} << u"en"_s;
        QTest::newRow("C: none, the English of the sources") << QStringList{u"C"_s} << QString();
        QTest::newRow("nothing") << QStringList() << QString();
    }
    void catalogChoice()
    {
        QFETCH(QStringList, languages);
        QTEST(AppDelegate::catalogFor(languages, {u"de"_s, u"en"_s, u"he"_s}), "catalog");
    }

    void windowsSpeakTheUsersLanguage_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<bool>("rightToLeft");
        QTest::newRow("LANGUAGE=fr:de_AT: German, the first with a catalog")
            << u"LANGUAGE=fr:de_AT"_s << german << false;
        QTest::newRow("LANGUAGE=he: right to left") << u"LANGUAGE=he"_s << hebrew << true;
    }

    // The real window of a note that opens read-only, so that its message bar shows: the menu bar's titles in the
    // user's language, each menu's mnemonics distinct, and under a right-to-left language the window mirrored: the
    // word count, the message bar and the find bar (opened with Ctrl+F) start at the right.
    void windowsSpeakTheUsersLanguage()
    {
        QFETCH(QString, variable);
        QFETCH(QStringList, titles);
        QFETCH(bool, rightToLeft);
        if (!qEnvironmentVariableIsSet(languageRunVariable))
            return runUnder(variable);

        LaunchFixture notes;
        QWidget *window = notes.launch({u"note.txt"_s}, "one two three", true).constFirst();
        WindowController *controller = WindowController::forWindow(window);
        const QMenuBar *bar = controller->menuBar();
        QStringList shown;
        for (const QAction *title : bar->actions())
            shown.append(shownText(title->text()));
        QCOMPARE(shown, titles);
        // The bar and every menu it reaches.
        QList<const QWidget *> menus{bar};
        for (qsizetype i = 0; i < menus.size(); ++i) {
            QList<QKeySequence> taken;
            for (const QAction *item : menus.at(i)->actions()) {
                if (item->menu())
                    menus.append(item->menu());
                if (item->isSeparator() || !item->isVisible())
                    continue;
                const QKeySequence key = QKeySequence::mnemonic(item->text());
                QVERIFY2(!key.isEmpty() && !taken.contains(key), qPrintable(item->text()));
                taken.append(key);
            }
        }

        QCOMPARE(window->isRightToLeft(), rightToLeft);
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        const auto count = std::find_if(labels.begin(), labels.end(), [](const QLabel *label) {
            return label->accessibleName() == Editor::tr("Word count");
        });
        QVERIFY(count != labels.end());
        QCOMPARE(inkAtRight(*count), !rightToLeft);

        const MessageBar *message = controller->message(MessageKind::ReadOnly);
        QVERIFY(message && message->isVisible() && !message->buttons().isEmpty());
        QCOMPARE(message->isRightToLeft(), rightToLeft);
        QCOMPARE(left(message->findChild<QLabel *>()) < left(message->buttons().constFirst()), !rightToLeft);

        QTest::keyClick(LaunchFixture::viewOf(window), Qt::Key_F, Qt::ControlModifier);
        auto *findBar = window->findChild<FindBar *>();
        QTRY_VERIFY(findBar->isVisible());
        QCOMPARE(findBar->isRightToLeft(), rightToLeft);
        QToolButton *previous = nullptr;
        QToolButton *next = nullptr;
        for (QToolButton *button : findBar->findChildren<QToolButton *>()) {
            if (button->accessibleName() == FindBar::tr("Previous"))
                previous = button;
            else if (button->accessibleName() == FindBar::tr("Next"))
                next = button;
        }
        QPushButton *done = findBar->findChild<QPushButton *>();
        QVERIFY(previous && next && done);
        // Reading on from the search field: previous, next, and Done last.
        QList<int> along{left(findBar->searchField()), left(previous), left(next), left(done)};
        if (rightToLeft)
            std::reverse(along.begin(), along.end());
        QVERIFY(std::is_sorted(along.begin(), along.end()));
        // Next points on, away from the search field; previous back towards it.
        QCOMPARE(next->arrowType(), rightToLeft ? Qt::LeftArrow : Qt::RightArrow);
        QCOMPARE(previous->arrowType(), rightToLeft ? Qt::RightArrow : Qt::LeftArrow);
    }

private:
    // Runs the current row again in a process of its own, with variable in place of the user's languages.
    void runUnder(const QString &variable)
    {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LANGUAGE", "LANG", "LC_ALL", "LC_MESSAGES"})
            variables.remove(QString::fromLatin1(name));
        variables.insert(u"LANG"_s, u"C.UTF-8"_s);
        variables.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        variables.insert(QString::fromLatin1(languageRunVariable), u"1"_s);
        QProcess run;
        run.setProcessEnvironment(variables);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(QTest::currentTestFunction()) + u':' +
                                                            QString::fromUtf8(QTest::currentDataTag())});
        QVERIFY(run.waitForFinished(120'000));
        const QByteArray output = run.readAll();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.constData());
    }

    // Whether the label's text stands in its right half, by the pixels it paints.
    static bool inkAtRight(QLabel *label)
    {
        const QImage image = label->grab().toImage();
        const QRgb background = image.pixel(0, 0);
        int first = image.width();
        int last = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != background) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
        return last >= 0 && first + last > image.width();
    }
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestTranslations>(argc, argv);
}
#include "tst_translations.moc"
