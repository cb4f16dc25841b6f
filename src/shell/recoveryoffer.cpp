#include "recoveryoffer.h"

#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxRecoveredNames = 1000;
constexpr qsizetype previewLength = 200;

// A window of its own that stops nothing. No button takes the focus or is the default, so typing meant for a
// note never answers it; Escape or closing it means Later.
void askUser(const RecoveryStore::Entry &entry, const QByteArray &text, const RecoveryOffer::Answer &answer)
{
    const QFileInfo note(FileNames::displayName(entry.originalPath));
    auto *box = new QMessageBox(QMessageBox::Warning, note.fileName(),
                                RecoveryOffer::tr("“%1” in “%2” has text that could not be saved before Nolt Nolt "
                                                  "last quit.")
                                    .arg(note.fileName(), note.absolutePath()));
    QString preview = QString::fromUtf8(text.left(previewLength * 4)).left(previewLength);
    if (preview.size() < QString::fromUtf8(text).size())
        preview += u'…';
    box->setInformativeText(
        RecoveryOffer::tr("The note itself is left as it is. The recovered text opens as a new note beside it."));
    box->setDetailedText(preview);
    // Not an accept button: the box would make that one the default when shown.
    QPushButton *open = box->addButton(RecoveryOffer::tr("&Open Recovered Text"), QMessageBox::ActionRole);
    QPushButton *discard = box->addButton(RecoveryOffer::tr("&Discard"), QMessageBox::DestructiveRole);
    QPushButton *later = box->addButton(RecoveryOffer::tr("&Later"), QMessageBox::RejectRole);
    box->setEscapeButton(later);
    for (QAbstractButton *button : box->buttons()) {
        if (auto *push = qobject_cast<QPushButton *>(button)) {
            push->setAutoDefault(false);
            push->setDefault(false);
        }
        button->setFocusPolicy(Qt::NoFocus);
    }
    box->setObjectName(QStringLiteral("recoveryOffer"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The question may be all that shows at launch; answering it must not end the app before its note opens.
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, open, discard, answer] {
        const QAbstractButton *clicked = box->clickedButton();
        answer(clicked == open      ? RecoveryOffer::Choice::OpenRecoveredText
               : clicked == discard ? RecoveryOffer::Choice::Discard
                                    : RecoveryOffer::Choice::Later);
    });
    box->show();
}

QByteArray readKept(const QString &path)
{
    QByteArray bytes;
    if (const int failure = PosixFile::readAll(FileNames::encodeName(path), bytes))
        throw Error::fromErrno(failure, RecoveryOffer::tr("Could not read the recovered text of"), path);
    return bytes;
}

} // namespace

RecoveryOffer::RecoveryOffer(RecoveryStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_question(askUser)
{}

void RecoveryOffer::setQuestion(Question question)
{
    m_question = question ? std::move(question) : Question(askUser);
}

void RecoveryOffer::setFallbackFolders(const QStringList &folders)
{
    m_fallbackFolders = folders;
}

QString RecoveryOffer::recoveredName(const QString &noteFileName, int number)
{
    // A leading dot names a hidden file, not an extension.
    const qsizetype dot = noteFileName.lastIndexOf(u'.');
    QString stem = dot > 0 ? noteFileName.left(dot) : noteFileName;
    const QString mark = number <= 1 ? QStringLiteral("Recovered") : QStringLiteral("Recovered %1").arg(number);
    const QString tail = QStringLiteral(" (%1).txt").arg(mark);
    const qsizetype room = PosixFile::maxNameBytes - FileNames::encodeName(tail).size();
    while (FileNames::encodeName(stem).size() > room) {
        // A surrogate pair goes whole; a lone one stands for one byte of a name that is not UTF-8.
        const bool pair = stem.size() > 1 && stem.back().isLowSurrogate() && stem.at(stem.size() - 2).isHighSurrogate();
        stem.chop(pair ? 2 : 1);
    }
    return stem + tail;
}

QUrl RecoveryOffer::writeRecoveredFile(const QString &originalPath, const QByteArray &text,
                                       const QStringList &fallbackFolders)
{
    const QFileInfo note(originalPath);
    std::optional<Error> first;
    for (const QString &folder : QStringList{note.absolutePath()} + fallbackFolders) {
        try {
            return writeRecoveredFileIn(folder, note.fileName(), text);
        } catch (const Error &error) {
            if (!first)
                first = error;
        }
    }
    throw *first;
}

QUrl RecoveryOffer::writeRecoveredFileIn(const QString &folder, const QString &noteName, const QByteArray &text)
{
    using PosixFile::Descriptor;
    using PosixFile::retryEintr;
    const auto fail = [&folder, &noteName](int code) {
        return Error::fromErrno(code, tr("Could not create"), folder + u'/' + recoveredName(noteName, 1));
    };
    const Descriptor dir(retryEintr(
        [&] { return ::open(FileNames::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (dir.get() < 0)
        throw fail(errno);
    for (int number = 1; number <= maxRecoveredNames; ++number) {
        const QByteArray name = FileNames::encodeName(recoveredName(noteName, number));
        // Exclusive, and filled through what the open returned: an earlier recovered file is never overwritten, and
        // a link another user of a shared folder puts at the name meanwhile is never written through.
        const Descriptor file(retryEintr([&] {
            return ::openat(dir.get(), name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        }));
        if (file.get() < 0 && errno == EEXIST)
            continue;
        if (file.get() < 0)
            throw fail(errno);
        int failure = PosixFile::writeAll(file.get(), text.constData(), text.size());
        if (failure == 0 && ::fsync(file.get()) != 0)
            failure = errno;
        if (failure == 0 && ::fsync(dir.get()) != 0 && errno != EINVAL)
            failure = errno;
        // The window opens the name: it must still be this file, not something put in its place while it was written.
        struct stat written
        {};
        struct stat there
        {};
        const bool ours = ::fstat(file.get(), &written) == 0 &&
                          ::fstatat(dir.get(), name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
                          written.st_dev == there.st_dev && written.st_ino == there.st_ino;
        if (failure == 0 && ours)
            return FileNames::urlOfPath(folder + u'/' + FileNames::decodeName(name));
        if (ours)
            ::unlinkat(dir.get(), name.constData(), 0);
        throw Error::fromErrno(failure ? failure : EEXIST, tr("Could not create"),
                               folder + u'/' + FileNames::decodeName(name));
    }
    throw fail(EEXIST);
}

void RecoveryOffer::noteElsewhere(const QString &originalPath, const QUrl &file)
{
    const QFileInfo note(originalPath);
    const QFileInfo recovered(FileNames::pathOfUrl(file));
    if (recovered.absolutePath() == note.absolutePath())
        return;
    fail(Error(QString::fromUtf16(ErrorDomain::quorbell), 0,
               tr("The recovered text of “%1” could not be written beside it in "
                  "“%2”. It is in “%3” in “%4”.")
                   .arg(note.fileName(), note.absolutePath(), recovered.fileName(), recovered.absolutePath())));
}

int RecoveryOffer::offer()
{
    const QList<RecoveryStore::Entry> entries = m_store.entries();
    for (const RecoveryStore::Entry &entry : entries) {
        QByteArray text;
        try {
            text = readKept(entry.recoveryPath);
        } catch (const Error &error) {
            fail(error); // kept for the next launch
            continue;
        }
        ++m_pending;
        QPointer<RecoveryOffer> self(this);
        m_question(entry, text, [self, entry, text](Choice choice) {
            if (self)
                self->act(entry, text, choice);
        });
    }
    if (m_pending == 0)
        Q_EMIT finished();
    return m_pending;
}

void RecoveryOffer::act(const RecoveryStore::Entry &entry, const QByteArray &text, Choice choice)
{
    try {
        switch (choice) {
        case Choice::OpenRecoveredText: {
            const QUrl file = writeRecoveredFile(entry.originalPath, text, m_fallbackFolders);
            m_store.discard(entry.originalPath);
            m_opened << file;
            noteElsewhere(entry.originalPath, file);
            Q_EMIT recovered(file);
            break;
        }
        case Choice::Discard:
            m_store.discard(entry.originalPath);
            break;
        case Choice::Later:
            break;
        }
    } catch (const Error &error) {
        // Kept for the next launch: a text is only let go once it is somewhere the user can open it.
        fail(error);
    }
    if (--m_pending == 0)
        Q_EMIT finished();
}

void RecoveryOffer::fail(const Error &error)
{
    m_errors << error;
    Q_EMIT failed(error);
}
