#include "noteprinter.h"

#include "editor/windowcontroller.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

#include <memory>

namespace {

// The header's type, smaller than the text's, and the gap under its rule.
constexpr qreal headerScale = 0.85;
constexpr qreal headerGapLines = 1.0;

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

void NotePrinter::ask(WindowController *window, const QPlainTextEdit *view, const QString &name)
{
    if (view->document()->isEmpty()) {
        window->showMessage(MessageKind::Error, tr("“%1” is empty: there is nothing to print.").arg(name), {}, true);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(name);
    QPrintDialog dialog(&printer, window->window());
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!print(*view->document(), view->font(), name, &printer))
        window->showMessage(MessageKind::Error, tr("“%1” could not be printed: the printer did not take it.").arg(name),
                            {}, true);
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
    const QRectF area = printer->pageLayout()
                            .paintRectPixels(printer->resolution())
                            .translated(-printer->pageLayout().paintRectPixels(printer->resolution()).topLeft());
    QFont headerFont(font);
    headerFont.setPointSizeF(font.pointSizeF() * headerScale);
    const qreal headerHeight = QFontMetricsF(headerFont, printer).height() * (1 + headerGapLines);
    const QSizeF body(area.width(), area.height() - headerHeight);
    pages->setPageSize(body);
    const int count = pages->pageCount();
    const int first = printer->fromPage() > 0 ? std::min(printer->fromPage(), count) : 1;
    const int last = printer->toPage() > 0 ? std::min(printer->toPage(), count) : count;
    for (int page = first; page <= last; ++page) {
        if (page > first)
            printer->newPage();
        drawHeader(painter, headerFont, name, tr("Page %1 of %2").arg(page).arg(count), area.width(), headerHeight);
        painter.save();
        painter.translate(0, headerHeight - (page - 1) * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, (page - 1) * body.height(), body.width(), body.height());
        context.palette.setColor(QPalette::Text, Qt::black);
        painter.setClipRect(context.clip);
        pages->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}
