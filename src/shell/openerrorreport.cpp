#include "openerrorreport.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QString detailsOf(const QList<std::pair<QUrl, Error>> &failures)
{
    QStringList lines;
    lines.reserve(failures.size());
    for (const auto &[url, error] : failures)
        lines.append(
            QStringLiteral("%1: %2").arg(url.isLocalFile() ? url.toLocalFile() : url.toString(), error.description()));
    return lines.join(u'\n');
}

} // namespace

OpenErrorReport::OpenErrorReport(QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMilliseconds);
    connect(&m_quiet, &QTimer::timeout, this, &OpenErrorReport::show);
}

OpenErrorReport::~OpenErrorReport()
{
    delete m_window;
}

void OpenErrorReport::setPresenter(Presenter presenter)
{
    m_presenter = std::move(presenter);
}

void OpenErrorReport::add(const QUrl &url, const Error &error)
{
    m_pending.append({url, error});
    m_quiet.start();
}

QMessageBox *OpenErrorReport::window() const
{
    return m_window;
}

Error OpenErrorReport::summary(const QList<std::pair<QUrl, Error>> &failures)
{
    if (failures.size() == 1)
        return failures.first().second;
    const Error &first = failures.first().second;
    return Error(first.domain(), first.code(),
                 tr("%Ln files could not be opened.", nullptr, int(failures.size())) + u'\n' + detailsOf(failures));
}

void OpenErrorReport::show()
{
    if (m_pending.isEmpty())
        return;
    if (m_presenter) {
        m_presenter(summary(std::exchange(m_pending, {})));
        return;
    }
    if (!m_window) {
        m_shown.clear();
        m_window = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(), QString(),
                                   QMessageBox::Close, QApplication::activeWindow());
        m_window->setObjectName(QStringLiteral("openErrorReport"));
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setWindowModality(Qt::NonModal);
    }
    m_shown.append(std::exchange(m_pending, {}));
    const QString description = summary(m_shown).description();
    m_window->setText(m_shown.size() == 1 ? description : description.section(u'\n', 0, 0));
    m_window->setDetailedText(detailsOf(m_shown));
    m_window->show();
    m_window->raise();
}
