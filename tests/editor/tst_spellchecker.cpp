#include "editor/spellchecker.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// enchant reads the user's config folder once per process: it must point into a temporary home before then.
class TestSpellChecker : public QObject
{
    Q_OBJECT

public:
    explicit TestSpellChecker(const QString &home)
        : m_home(home)
    {}

private Q_SLOTS:
    void initTestCase()
    {
        SpellChecker checker(QStringLiteral("en_US"));
        if (!checker.hasDictionary())
            QSKIP("The American English dictionary (hunspell-en-us) is not installed.");
    }

    void words_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain words") << "Two words." << QStringList{"Two", "words"};
        QTest::newRow("keeps: inner apostrophes") << "don't it’s 'quoted'" << QStringList{"don't", "it’s", "quoted"};
        QTest::newRow("keeps: accents and combining marks")
            << QString::fromUtf8("café nai\xcc\x88ve") << QStringList{"café", QString::fromUtf8("nai\xcc\x88ve")};
        QTest::newRow("skips: digits and underscores") << "abc123 snake_case ok" << QStringList{"ok"};
        QTest::newRow("skips: file names, addresses, paths")
            << "see notes.txt, me@example.org or /usr/share now" << QStringList{"see", "or", "now"};
        QTest::newRow("skips: scripts without spaces") << "日本語 ภาษาไทย word" << QStringList{"word"};
        QTest::newRow("skips: emoji, keeps neighbours") << "🌱 seed" << QStringList{"seed"};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void words()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QStringList found;
        for (const SpellChecker::Word &word : SpellChecker::words(text))
            found << text.mid(word.position, word.length);
        QCOMPARE(found, expected);
    }

    void correction_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("expected");
        QTest::newRow("corrects: swapped letters") << u"teh"_qs << u"the"_qs;
        QTest::newRow("corrects: swapped letters inside") << u"recieve"_qs << u"receive"_qs;
        QTest::newRow("corrects: capitalised word stays capitalised") << u"Teh"_qs << u"The"_qs;
        QTest::newRow("corrects: case alone") << u"monday"_qs << u"Monday"_qs;
        QTest::newRow("leaves: correct word") << u"the"_qs << QString();
        QTest::newRow("leaves: no guess is a swap") << u"speling"_qs << QString();
        QTest::newRow("leaves: apostrophe guess not first") << u"dont"_qs << QString();
        QTest::newRow("leaves: no clear guess") << u"qwzx"_qs << QString();
        QTest::newRow("leaves: two swaps fit (test, stet)") << u"tset"_qs << QString();
    }

    void correction()
    {
        QFETCH(QString, word);
        QFETCH(QString, expected);
        SpellChecker checker(QStringLiteral("en_US"));
        QCOMPARE(checker.correctionFor(word), expected);
    }

    void learnedWordsSurviveARestart()
    {
        {
            SpellChecker checker(QStringLiteral("en_US"));
            QVERIFY(!checker.isCorrect(QStringLiteral("Quorblex")));
            checker.learn(QStringLiteral("Quorblex"));
            QVERIFY(checker.isCorrect(QStringLiteral("Quorblex")));
            QVERIFY(checker.correctionFor(QStringLiteral("Quorblex")).isEmpty());
            checker.ignore(QStringLiteral("Zibbitz"));
            QVERIFY(checker.isCorrect(QStringLiteral("Zibbitz")));
        }
        SpellChecker later(QStringLiteral("en_US"));
        QVERIFY(later.isCorrect(QStringLiteral("Quorblex")));
        QVERIFY(later.isLearned(QStringLiteral("Quorblex")));
        // Ignoring lasts only while the note is open.
        QVERIFY(!later.isCorrect(QStringLiteral("Zibbitz")));
        // The word list lives in the user's config folder.
        QVERIFY(QFile::exists(m_home + QStringLiteral("/config/enchant/en_US.dic")));
    }

    void fallsBackToAmericanEnglish()
    {
        SpellChecker checker(QStringLiteral("xx_NOWHERE"));
        QCOMPARE(checker.language(), QStringLiteral("en_US"));
        QVERIFY(!checker.isCorrect(QStringLiteral("tset")));
    }

    void nextMisspellingStartsAtOffset()
    {
        SpellChecker checker(QStringLiteral("en_US"));
        const QString text = QStringLiteral("tset one wrod two");
        QCOMPARE(checker.nextMisspelling(text), (SpellChecker::Word{0, 4}));
        QCOMPARE(checker.nextMisspelling(text, 1), (SpellChecker::Word{9, 4}));
        QVERIFY(!checker.nextMisspelling(text, 10).isValid());
    }

private:
    QString m_home;
};

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QCoreApplication app(argc, argv);
    TestSpellChecker test(home.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_spellchecker.moc"
