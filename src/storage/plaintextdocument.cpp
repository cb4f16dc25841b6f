#include "plaintextdocument.h"

#include "storage/textpresenter.h"
#include "storage/notecodec.h"

PlainTextDocument::PlainTextDocument(const NoteServices *services, QObject *parent)
    : Document(services, parent)
{}

PlainTextDocument::~PlainTextDocument() = default;

Error PlainTextDocument::notPlainTextError(const QUrl &url)
{
    const Error error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileReadInapplicableEncoding,
                      tr("This file is not UTF-8 plain text."));
    return url.isEmpty() ? error : error.withInformativeText(tr("“%1” is not UTF-8 plain text.").arg(url.fileName()));
}

QString PlainTextDocument::text() const
{
    return m_presenter ? m_presenter->presentedText() : m_text;
}

void PlainTextDocument::setText(const QString &text)
{
    if (!m_presenter) {
        m_text = text;
        return;
    }
    // With a window the text lives in its view; a copy here would double the memory of a long note.
    m_text = QString();
    m_presenter->presentText(text);
}

bool PlainTextDocument::autosavesInPlace() const
{
    return m_presenter != nullptr;
}

void PlainTextDocument::setPresenter(TextPresenter *presenter)
{
    // The window was made with the note's text and holds it from now on.
    m_presenter = presenter;
    if (presenter)
        m_text = QString();
}

void PlainTextDocument::presenterWillClose(const TextPresenter &presenter)
{
    if (&presenter != m_presenter)
        return;
    m_text = presenter.presentedText();
    m_presenter = nullptr;
}

LoadedFile::Decoder PlainTextDocument::decoder() const
{
    return [](const QByteArray &bytes, const QUrl &url) {
        std::optional<QString> decoded = NoteCodec::decode(bytes);
        if (!decoded)
            throw notPlainTextError(url);
        return std::move(*decoded);
    };
}

void PlainTextDocument::takeText(QString &&text)
{
    setText(text);
}

std::function<ByteParts()> PlainTextDocument::dataTask() const
{
    if (m_presenter)
        return m_presenter->presentedBytesSnapshot();
    return [text = m_text] {
        return ByteParts(NoteCodec::encode(text));
    };
}
