#include "plaintextdocument.h"

#include "framework/windowcontroller.h"
#include "storage/textpresenter.h"
#include "storage/utf8.h"

namespace {

constexpr int notPlainTextCode = ErrorCode::fileReadInapplicableEncoding;

PlainTextDocument::WindowFactory &windowFactory()
{
    static PlainTextDocument::WindowFactory factory;
    return factory;
}

} // namespace

PlainTextDocument::PlainTextDocument(QObject *parent)
    : Document(parent)
{
    setFileType(QString::fromLatin1(typeName));
}

PlainTextDocument::~PlainTextDocument() = default;

void PlainTextDocument::setWindowFactory(WindowFactory factory)
{
    windowFactory() = std::move(factory);
}

Error PlainTextDocument::notPlainTextError()
{
    return Error(QString::fromUtf16(ErrorDomain::cocoa), notPlainTextCode, tr("This file is not UTF-8 plain text."));
}

Error PlainTextDocument::readError(const Error &error, const QUrl &url) const
{
    if (error.domain() != QString::fromUtf16(ErrorDomain::cocoa) || error.code() != notPlainTextCode)
        return error;
    return error.withInformativeText(tr("“%1” is not UTF-8 plain text.").arg(url.fileName()));
}

const TextPresenter *PlainTextDocument::livePresenter() const
{
    const QList<WindowController *> controllers = windowControllers();
    for (WindowController *controller : controllers) {
        if (const auto *presenter = qobject_cast<TextPresenter *>(controller))
            return presenter;
    }
    return nullptr;
}

QString PlainTextDocument::text() const
{
    if (const TextPresenter *presenter = livePresenter())
        return presenter->presentedText();
    return m_text;
}

void PlainTextDocument::setText(const QString &text)
{
    m_text = text;
    const QList<WindowController *> controllers = windowControllers();
    for (WindowController *controller : controllers) {
        if (auto *presenter = qobject_cast<TextPresenter *>(controller))
            presenter->presentText(text);
    }
}

void PlainTextDocument::presenterWillClose(const TextPresenter &presenter)
{
    m_text = presenter.presentedText();
}

void PlainTextDocument::makeWindowControllers()
{
    if (windowFactory())
        addWindowController(windowFactory()(this));
    // The window holds the text from now on and hands it back when it closes; a second copy of a big note would
    // only take memory.
    if (livePresenter())
        m_text = QString();
}

void PlainTextDocument::read(const QByteArray &data, const QString &typeName)
{
    takeDecoded(decoder(typeName)(data), typeName);
}

Document::Decoder PlainTextDocument::decoder(const QString &typeName) const
{
    Q_UNUSED(typeName);
    return [](const QByteArray &bytes) {
        std::optional<QString> decoded = Utf8::decode(bytes);
        if (!decoded)
            throw notPlainTextError();
        return std::any(std::move(*decoded));
    };
}

void PlainTextDocument::takeDecoded(std::any &&content, const QString &typeName)
{
    Q_UNUSED(typeName);
    setText(std::any_cast<QString>(std::move(content)));
    // With an editor the text lives in its view; the document's copy would double the memory of a long note.
    if (livePresenter())
        m_text = QString();
}

QByteArray PlainTextDocument::data(const QString &typeName) const
{
    Q_UNUSED(typeName);
    return text().toUtf8();
}

std::function<QByteArray()> PlainTextDocument::dataTask(const QString &typeName) const
{
    if (const TextPresenter *presenter = livePresenter())
        return presenter->presentedBytesSnapshot();
    return Document::dataTask(typeName);
}
