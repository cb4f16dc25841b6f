#pragma once

#include <QCoreApplication>
#include <QString>

class QFont;
class QPlainTextEdit;
class QPrinter;
class QTextDocument;
class NoteMessages;

// Prints a note as its window shows it: the window's type at its usual size, wrapped to the page within margins of
// about 2 cm, each paragraph in its own direction, and on every page a header with the note's name and the page
// number.
class NotePrinter
{
    Q_DECLARE_TR_FUNCTIONS(NotePrinter)

public:
    // Asks for a printer with the platform's print dialog over the note's window, then prints with the margins it
    // leaves, in the view's type at pointSize. An empty note, or a printer that refuses the job, is told in messages.
    static void ask(NoteMessages &messages, const QPlainTextEdit *view, const QString &name, int pointSize);
    // Prints text on printer's pages (those the user chose, else all); false when the printer refused the job.
    static bool print(const QTextDocument &text, const QFont &font, const QString &name, QPrinter *printer);
};
