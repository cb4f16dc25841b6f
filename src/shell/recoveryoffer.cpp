#include "recoveryoffer.h"

#include "framework/durablewriter.h"
#include "framework/posixfile.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <cerrno>

namespace {

constexpr int maxRecoveredNames = 1000;
constexpr qsizetype previewLength = 200;

RecoveryOffer::Choice askUser(const RecoveryStore::Entry &entry, const QByteArray &text)
{
    const QFileInfo note(entry.originalPath);
    QMessageBox box(QMessageBox::Warning, note.fileName(),
                    RecoveryOffer::tr("“%1” in “%2” has text that could not be saved before Nolt Nolt last quit.")
                        .arg(note.fileName(), note.absolutePath()));
    QString preview = QString::fromUtf8(text.left(previewLength * 4)).left(previewLength);
    if (preview.size() < QString::fromUtf8(text).size())
        preview += u'…';
    box.setInformativeText(
        RecoveryOffer::tr("The note itself is left as it is. The recovered text opens as a new note beside it."));
    box.setDetailedText(preview);
    QPushButton *open = box.addButton(RecoveryOffer::tr("Open Recovered Text"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(RecoveryOffer::tr("Discard"), QMessageBox::DestructiveRole);
    box.addButton(RecoveryOffer::tr("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(open);
    box.exec();
    if (box.clickedButton() == open)
        return RecoveryOffer::Choice::OpenRecoveredText;
    if (box.clickedButton() == discard)
        return RecoveryOffer::Choice::Discard;
    return RecoveryOffer::Choice::Later;
}

QByteArray readKept(const QString &path)
{
    QByteArray bytes;
    if (const int failure = PosixFile::readAll(QFile::encodeName(path), bytes))
        throw Error::fromErrno(failure, RecoveryOffer::tr("Could not read the recovered text of"), path);
    return bytes;
}

} // namespace

RecoveryOffer::RecoveryOffer(RecoveryStore &store)
    : m_store(store)
    , m_question(askUser)
{}

void RecoveryOffer::setQuestion(Question question)
{
    m_question = question ? std::move(question) : Question(askUser);
}

QString RecoveryOffer::recoveredName(const QString &noteFileName, int number)
{
    // A leading dot names a hidden file, not an extension.
    const qsizetype dot = noteFileName.lastIndexOf(u'.');
    const QString stem = dot > 0 ? noteFileName.left(dot) : noteFileName;
    const QString mark = number <= 1 ? QStringLiteral("Recovered") : QStringLiteral("Recovered %1").arg(number);
    return QStringLiteral("%1 (%2).txt").arg(stem, mark);
}

QUrl RecoveryOffer::writeRecoveredFile(const QString &originalPath, const QByteArray &text)
{
    const QFileInfo note(originalPath);
    for (int number = 1; number <= maxRecoveredNames; ++number) {
        const QString path = note.absolutePath() + u'/' + recoveredName(note.fileName(), number);
        // Exclusive: an earlier recovered file, or anything else at that name, is never overwritten.
        try {
            DurableWriter::createNew(path);
        } catch (const Error &error) {
            if (error.code() == EEXIST)
                continue;
            throw;
        }
        try {
            DurableWriter::replace(path, text);
        } catch (const Error &) {
            QFile::remove(path);
            throw;
        }
        return QUrl::fromLocalFile(path);
    }
    throw Error::fromErrno(EEXIST, tr("Could not create"),
                           note.absolutePath() + u'/' + recoveredName(note.fileName(), 1));
}

QList<QUrl> RecoveryOffer::offer()
{
    QList<QUrl> opened;
    m_errors.clear();
    const QList<RecoveryStore::Entry> entries = m_store.entries();
    for (const RecoveryStore::Entry &entry : entries) {
        try {
            const QByteArray text = readKept(entry.recoveryPath);
            switch (m_question(entry, text)) {
            case Choice::OpenRecoveredText:
                opened << writeRecoveredFile(entry.originalPath, text);
                m_store.discard(entry.originalPath);
                break;
            case Choice::Discard:
                m_store.discard(entry.originalPath);
                break;
            case Choice::Later:
                break;
            }
        } catch (const Error &error) {
            // Kept for the next launch: a text is only let go once it is somewhere the user can open it.
            m_errors << error;
        }
    }
    return opened;
}
