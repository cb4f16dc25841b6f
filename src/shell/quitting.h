#pragma once

#include <QObject>

class DocumentController;
class TerminationSignals;

// How the app ends: Quit writes every note (asking about one that cannot be written) before the event loop ends; a
// kill, Ctrl+C or the end of the session writes them without questions and keeps what cannot be written for
// recovery.
class Quitting : public QObject
{
    Q_OBJECT

public:
    explicit Quitting(DocumentController &documents, QObject *parent = nullptr);

    // Writes every note and ends the event loop; true when all were written.
    bool quitAfterSaving(bool force);

private:
    DocumentController &m_documents;
    TerminationSignals *m_signals = nullptr;
};
