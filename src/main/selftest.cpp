#include "selftest.h"

#include "editor/window/editor.h"
#include "editor/view/notetextview.h"
#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "storage/plaintextdocument.h"
#include "storage/textfiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <source_location>
#include <system_error>

#include <sys/stat.h>

namespace {

constexpr char firstResultLine[] =
    "PASS: date-stamped filenames, same-day numbering, next-day reset, UTF-8 round trip, empty document creation, "
    "atomic updates\n";
constexpr char secondResultLine[] =
    "PASS: NSDocument read/write, invalid UTF-8 preservation, denied directory writes, selection kept on reload\n";

const QString sampleText = QStringLiteral("Plain text\nUnicode: café 🌱\n\tIndented\n");

// A failed check ends the run at once and keeps the test folder for inspection.
void check(bool condition)
{
    if (!condition)
        std::abort();
}

// An operation that had to fail succeeded: say which, then end like a failed check.
[[noreturn]] void fatalError(const char *message, std::source_location where = std::source_location::current())
{
    std::fprintf(stderr, "main/main:%u: Fatal error: %s\n", static_cast<unsigned>(where.line()), message);
    std::fflush(stderr);
    std::abort();
}

QString readUtf8(const QString &path)
{
    const QByteArray bytes = PosixFile::readWholeFile(path);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileReadInapplicableEncoding,
                    QStringLiteral("This file is not UTF-8 plain text."));
    return text;
}

QString createTestFolder()
{
    const QString path = QDir::tempPath() + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    std::error_code failure;
    std::filesystem::create_directories(FileNames::encodeName(path).toStdString(), failure);
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
    const QUrl folder = FileNames::urlOfPath(folderPath);
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
    check(readUtf8(FileNames::pathOfUrl(note1)) == sampleText);
    check(QFileInfo::exists(FileNames::pathOfUrl(note2)));
    TextFiles::save(QStringLiteral("Updated"), note1);
    check(readUtf8(FileNames::pathOfUrl(note1)) == u"Updated");
}

QtMessageHandler qtMessages = nullptr;

// Qt's notes about the environment (such as a missing XDG_RUNTIME_DIR for a user without a session) are not
// results: the self-test's only output is its result lines or the line of a fatal error.
void keepQtNotesQuiet(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        qtMessages(type, context, message);
}

void setPermissions(const QString &path, mode_t mode)
{
    if (::chmod(FileNames::encodeName(path).constData(), mode) != 0)
        throw Error::fromErrno(errno, QStringLiteral("Could not change the permissions of"), path);
}

void checkDocuments(const QString &folderPath, int &argc, char **argv)
{
    // A user without a session has no runtime folder; Qt would make one beside the test folder and leave it.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = folderPath + QStringLiteral("/Runtime");
        if (::mkdir(FileNames::encodeName(runtime).constData(), 0700) != 0)
            throw Error::fromErrno(errno, QStringLiteral("Could not create"), runtime);
        qputenv("XDG_RUNTIME_DIR", FileNames::encodeName(runtime));
    }
    // Windows need the application object, and a note hears of its writes through it.
    QApplication application(argc, argv);
    PlainTextDocument plain;
    const LoadedFile::Decoder decode = plain.decoder();
    check(decode(sampleText.toUtf8(), {}) == sampleText);
    bool rejected = false;
    try {
        decode(QByteArrayLiteral("\xFF\xFE\xFF"), {});
    } catch (const Error &) {
        rejected = true;
    }
    if (!rejected)
        fatalError("Invalid UTF-8 must be rejected");

    // Written the way every note is: through its writer, all or nothing.
    const QString nativePath = folderPath + QStringLiteral("/Native.txt");
    plain.setFileUrl(FileNames::urlOfPath(nativePath));
    plain.setText(sampleText);
    plain.updateChangeCount(Document::ChangeType::Done);
    if (const std::optional<Error> failure = plain.writeNow())
        throw *failure;
    check(readUtf8(nativePath) == sampleText);

    const QString readOnly = folderPath + QStringLiteral("/ReadOnly");
    if (::mkdir(FileNames::encodeName(readOnly).constData(), 0777) != 0)
        throw Error::fromErrno(errno, QStringLiteral("Could not create"), readOnly);
    setPermissions(readOnly, 0500);
    bool denied = false;
    try {
        TextFiles::create(FileNames::urlOfPath(readOnly), QDateTime::currentDateTime());
    } catch (const Error &) {
        denied = true;
    }
    if (!denied)
        fatalError("Creation in read-only directory must fail");
    setPermissions(readOnly, 0700);

    auto reloaded = std::make_unique<PlainTextDocument>();
    Editor::openFor(reloaded.get());
    const QList<WindowController *> controllers = WindowController::of(reloaded.get());
    auto *editor = controllers.isEmpty() ? nullptr : qobject_cast<Editor *>(controllers.first());
    check(editor != nullptr);
    NoteTextView *view = editor->textView();
    view->setText(QStringLiteral("One two\nThree four"));
    view->setSelectedRange({4, 3});
    reloaded->setText(QStringLiteral("One two\nThree four!"));
    check(view->selectedRange() == NoteTextView::Range{4, 3});
    reloaded->setText(QStringLiteral("On"));
    check(view->selectedRange() == NoteTextView::Range{2, 0});
    // The windows go before the application object.
    reloaded.reset();
}

} // namespace

void runSelfTest(int &argc, char **argv)
{
    // The self-test never needs a screen, and a display that is set but dead must not abort it.
    qputenv("QT_QPA_PLATFORM", "offscreen");

    qtMessages = qInstallMessageHandler(keepQtNotesQuiet);
    const QString folder = createTestFolder();
    try {
        checkNoteFiles(folder);
        checkDocuments(folder, argc, argv);
    } catch (...) {
        removeTestFolder(folder);
        throw;
    }
    std::fputs(firstResultLine, stdout);
    std::fputs(secondResultLine, stdout);
    std::fflush(stdout);
    removeTestFolder(folder);
}
