#include "editor/printing/noteprinter.h"

#include "editor/messages/notemessages.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextDocument>

#include <memory>

namespace {

// The header's type, smaller than the text's, and the gap under its rule.
constexpr qreal headerScale = 0.85;
constexpr qreal headerGapLines = 1.0;
constexpr qreal pageMarginMm = 20;

void drawHeader(QPainter &painter, const QFont &font, const QString &name, const QString &pageText, qreal width,
                qreal height)
{
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::darkGray);
    const QFontMetricsF metrics(font, painter.device());
    const qreal pageWidth = metrics.horizontalAdvance(pageText);
    const QString shownName =
        metrics.elidedText(name, Qt::ElideMiddle, width - pageWidth - metrics.averageCharWidth() * 2);
    const QRectF line(0, 0, width, metrics.height());
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, shownName);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, pageText);
    const qreal rule = metrics.height() + (height - metrics.height()) / 4;
    painter.drawLine(QPointF(0, rule), QPointF(width, rule));
    painter.restore();
}

} // namespace

void NotePrinter::ask(NoteMessages &messages, const QPlainTextEdit *view, const QString &name, int pointSize)
{
    if (view->document()->isEmpty()) {
        messages.showMessage(MessageKind::Error, tr("“%1” is empty: there is nothing to print.").arg(name), {}, true);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(name);
    // Clear of any printer's unprintable border, as desktop editors print; the dialog's page setup may change them.
    printer.setPageMargins(QMarginsF(pageMarginMm, pageMarginMm, pageMarginMm, pageMarginMm), QPageLayout::Millimeter);
    QPrintDialog dialog(&printer, view->window());
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The window's type at its usual size: zooming is for the screen.
    QFont font = view->font();
    font.setPointSize(pointSize);
    if (!print(*view->document(), font, name, &printer))
        messages.showMessage(MessageKind::Error,
                             tr("“%1” could not be printed: the printer did not take it.").arg(name), {}, true);
}

bool NotePrinter::print(const QTextDocument &text, const QFont &font, const QString &name, QPrinter *printer)
{
    // A copy laid out for the page, so the window's own layout and undo history stay as they are.
    std::unique_ptr<QTextDocument> pages(text.clone());
    pages->setDefaultFont(font);
    pages->documentLayout()->setPaintDevice(printer);
    pages->setDocumentMargin(0);
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    // The painter starts at the page's margins.
    const QSizeF area = printer->pageLayout().paintRectPixels(printer->resolution()).size();
    QFont headerFont(font);
    headerFont.setPointSizeF(font.pointSizeF() * headerScale);
    const qreal headerHeight = QFontMetricsF(headerFont, printer).height() * (1 + headerGapLines);
    const QSizeF body(area.width(), area.height() - headerHeight);
    // The layout moves a line that would cross a page's end to the next page, which it starts.
    pages->setPageSize(body);
    const int count = pages->pageCount();
    const int first = printer->fromPage() > 0 ? std::min(printer->fromPage(), count) : 1;
    const int last = printer->toPage() > 0 ? std::min(printer->toPage(), count) : count;
    painter.setPen(Qt::black);
    int page = 0;
    const auto startPage = [&](int next) {
        while (page < next) {
            if (++page < first)
                continue;
            if (page > first)
                printer->newPage();
            drawHeader(painter, headerFont, name, tr("Page %1 of %2").arg(page).arg(count), area.width(), headerHeight);
        }
    };
    // Each line on the page where it starts, and only there: drawn clipped on the page before too, it would be
    // in the printed text twice, for search, copying and screen readers.
    for (QTextBlock block = pages->begin(); block.isValid() && block.layout()->position().y() < last * body.height();
         block = block.next()) {
        const QTextLayout *lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal top = lines->position().y() + line.y();
            const int on = std::clamp(int(top / body.height()) + 1, 1, count);
            if (on > last)
                break;
            startPage(on);
            if (on >= first)
                line.draw(&painter, lines->position() + QPointF(0, headerHeight - (on - 1) * body.height()));
        }
    }
    startPage(last);
    return painter.end();
}
