#include "selftest.h"

#include "framework/error.h"
#include "storage/textfiles.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QUuid>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

constexpr char firstResultLine[] =
    "PASS: date-stamped filenames, same-day numbering, next-day reset, UTF-8 round trip, empty document creation, "
    "atomic updates\n";

const QString sampleText = QStringLiteral("Plain text\nUnicode: café 🌱\n\tIndented\n");

// A failed check ends the run at once and keeps the test folder for inspection.
void check(bool condition)
{
    if (!condition)
        std::abort();
}

QString readUtf8(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error::fromErrno(ENOENT, QStringLiteral("Could not read"), path);
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw Error(QString::fromUtf16(ErrorDomain::cocoa), 261, QStringLiteral("This file is not UTF-8 plain text."));
    return text;
}

QString createTestFolder()
{
    const QString path = QDir::tempPath() + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    std::error_code failure;
    std::filesystem::create_directories(QFile::encodeName(path).toStdString(), failure);
    if (failure)
        throw Error::fromErrno(failure.value(), QStringLiteral("Could not create"), path);
    return path;
}

void removeTestFolder(const QString &path)
{
    QDir(path).removeRecursively(); // a failure here changes neither output nor status
}

void checkNoteFiles(const QString &folderPath)
{
    const QUrl folder = QUrl::fromLocalFile(folderPath);
    const QDateTime day1(QDate(2026, 10, 14), QTime(12, 0));
    check(day1.isValid());

    const QUrl note1 = TextFiles::create(folder, day1);
    TextFiles::save(sampleText, note1);
    const QUrl note2 = TextFiles::create(folder, day1);
    check(note1.fileName() == u"20261014 Note.txt");
    check(note2.fileName() == u"20261014 Note 2.txt");
    const QUrl note3 = TextFiles::create(folder, day1);
    check(note3.fileName() == u"20261014 Note 3.txt");

    const QDateTime day2 = day1.addDays(1);
    check(day2.isValid());
    const QUrl note4 = TextFiles::create(folder, day2);
    check(note4.fileName() == u"20261015 Note.txt");

    check(note1 != note2);
    check(readUtf8(note1.toLocalFile()) == sampleText);
    check(QFileInfo::exists(note2.toLocalFile()));
    TextFiles::save(QStringLiteral("Updated"), note1);
    check(readUtf8(note1.toLocalFile()) == u"Updated");
}

} // namespace

void runSelfTest(int &argc, char **argv)
{
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    // The self-test must run on a machine without a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const QString folder = createTestFolder();
    try {
        checkNoteFiles(folder);
    } catch (...) {
        removeTestFolder(folder);
        throw;
    }
    std::fputs(firstResultLine, stdout);
    std::fflush(stdout);
    removeTestFolder(folder);
}
