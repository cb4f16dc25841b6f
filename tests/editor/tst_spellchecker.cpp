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
        QTest::newRow("skips: digits and underscores") << "abc123 snake_case ok" << QStringList{"ok"};
        QTest::newRow("skips: file names, addresses, paths")
            << "see notes.txt, me@example.org or /usr/share now" << QStringList{"see", "or", "now"};
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
