#pragma once

#include "storage/notecodec.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class QAbstractScrollArea;

// Puts a big note into its view a part at a time from the event loop, so that the window answers while the rest
// comes in, and holds the part not yet in the view meanwhile.
//
// Edits wait for the whole note without keeping the window: what the user does to the text while it loads is held,
// in order, and done once all of it is in. A part coming in after an edit would clear its undo, and would go in
// after what was typed at the end of the text shown.
class NoteLoader : public QObject
{
    Q_OBJECT

public:
    // Puts one part of the note at the end of the view.
    using AppendPart = std::function<void(const LineEndings::Piece &part)>;

    // While a text larger than this (in UTF-16 units) loads, what is in the view is let go of now and then. The
    // copying that costs is only worth it for very big notes; tests lower it to see it done.
    static inline qsizetype compactPendingAbove = 32 * 1024 * 1024;

    NoteLoader(AppendPart appendPart, QAbstractScrollArea *view);

    // The view shows before its note is read: what the user does to it waits, as while a note loads, for the
    // text that start() brings.
    void await();
    // The view holds text up to from; the rest follows from the event loop.
    void start(const QString &text, qsizetype from);
    bool isLoading() const { return m_awaiting || !m_pending.isEmpty(); }
    bool isAwaiting() const { return m_awaiting; }
    // Puts the rest into the view now, and does what was held.
    void finish();
    // The note being loaded, and where the part not yet in the view starts; an empty text once all is in.
    const QString &pending() const { return m_pending; }
    qsizetype pendingFrom() const { return m_pendingFrom; }

    // Holds edit until the whole note is in, after what the user did before it; false, holding nothing, when the
    // edit can be done now.
    bool hold(std::function<void()> edit);
    bool holdsEdits() const { return !m_held.empty(); }

Q_SIGNALS:
    // The whole note is in the view; what was held follows.
    void loaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadPart(qsizetype budget);
    void queueLoad();
    void loadMore();
    void doHeld();

    AppendPart m_appendPart;
    // Compared with, never called: the application's filters still see the view's last events while it is destroyed.
    const QObject *m_view;
    const QObject *m_viewport;
    QString m_pending;
    qsizetype m_pendingFrom = 0;
    // How much of the note the next part holds, in UTF-16 units.
    qsizetype m_partUnits;
    bool m_loadQueued = false;
    bool m_awaiting = false;
    std::deque<std::function<void()>> m_held;
};
