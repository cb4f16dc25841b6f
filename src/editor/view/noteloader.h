#pragma once

#include "storage/notecodec.h"

#include <QObject>
#include <QString>

#include <functional>

// Puts a big note into its view a part at a time from the event loop, so that the window answers while the rest
// comes in, and holds the part not yet in the view meanwhile.
class NoteLoader : public QObject
{
    Q_OBJECT

public:
    // Puts one part of the note at the end of the view.
    using AppendPart = std::function<void(const LineEndings::Piece &part)>;

    // While a text larger than this (in UTF-16 units) loads, what is in the view is let go of now and then. The
    // copying that costs is only worth it for very big notes; tests lower it to see it done.
    static inline qsizetype compactPendingAbove = 32 * 1024 * 1024;

    NoteLoader(AppendPart appendPart, QObject *parent);

    // The view holds text up to from; the rest follows from the event loop.
    void start(const QString &text, qsizetype from);
    bool isLoading() const { return !m_pending.isEmpty(); }
    // Puts the rest into the view now.
    void finish();
    // The note being loaded, and where the part not yet in the view starts; an empty text once all is in.
    const QString &pending() const { return m_pending; }
    qsizetype pendingFrom() const { return m_pendingFrom; }

Q_SIGNALS:
    // The whole note is in the view.
    void loaded();

private:
    void loadPart(qsizetype budget);
    void queueLoad();
    void loadMore();

    AppendPart m_appendPart;
    QString m_pending;
    qsizetype m_pendingFrom = 0;
    // How much of the note the next part holds, in UTF-16 units.
    qsizetype m_partUnits;
    bool m_loadQueued = false;
};
