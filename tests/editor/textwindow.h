#pragma once

#include "editor/findbar.h"
#include "editor/texttools.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

// A window laid out like the editor's: the text with the find bar below it and the text tools on both.
struct TextWindow
{
    QWidget window;
    QPlainTextEdit *text = nullptr;
    FindBar *bar = nullptr;
    TextTools *tools = nullptr;

    explicit TextWindow(const QString &content = {})
    {
        auto *layout = new QVBoxLayout(&window);
        text = new QPlainTextEdit(&window);
        text->setPlainText(content);
        bar = new FindBar(text, &window);
        layout->addWidget(text);
        layout->addWidget(bar);
        tools = new TextTools(text, bar, &window);
        window.resize(600, 400);
        window.show();
    }

    void select(qsizetype start, qsizetype end)
    {
        QTextCursor cursor(text->document());
        cursor.setPosition(int(start));
        cursor.setPosition(int(end), QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
    }

    QPair<qsizetype, qsizetype> selection() const
    {
        const QTextCursor cursor = text->textCursor();
        return {cursor.selectionStart(), cursor.selectionEnd()};
    }

    QString selected() const { return text->textCursor().selectedText(); }

    // The words drawn with the spell-check underline, read from the paragraphs' layouts.
    QStringList underlined() const
    {
        QStringList words;
        for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
            for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
                if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                    words << block.text().mid(range.start, range.length);
            }
        }
        return words;
    }
};

// The text tools open the user's spelling word list, which enchant finds once per process: keep it in a
// temporary home set before the application starts.
template<class Test> int execWithTemporaryHome(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
