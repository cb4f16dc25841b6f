#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

class Document;
class DocumentController;
class QThreadPool;
class QWidget;

// Where note windows go. A new window steps one title bar down and right from the active one (back to the edge of
// the screen when it would leave it), a note reopened at launch gets the frame its window had at the last quit,
// and every window fits the screen's available area.
class WindowPlacement : public QObject
{
    Q_OBJECT

public:
    static constexpr char framesKey[] = "NoteWindowFramesAtQuit";

    // Places the windows of every document the controller opens, before they show.
    WindowPlacement(DocumentController &documents, QObject *parent = nullptr);
    ~WindowPlacement() override;

    // Places a note's window before it first shows.
    void place(QWidget *window, const QUrl &url);
    // Remembers the frame of each document's window, for the next launch.
    static void rememberFrames(const QList<Document *> &documents);
    // Reads the frames remembered at the last quit; each is used once, by the next window of its note.
    void takeRememberedFrames();

    static QRect fitted(const QRect &frame, const QRect &available);
    static QPoint cascaded(const QRect &from, int step, const QSize &size, const QRect &available);
    // The height of a window's title bar, or the style's idea of one while it has no frame yet.
    static int titleBarHeight(const QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *cascadeSource(const QWidget *window) const;
    static QVariantMap framesOf(const QList<Document *> &documents);
    void recordFrames();

    QHash<QString, QRect> m_frames;
    QPointer<QWidget> m_last;
    DocumentController &m_documents;
    QThreadPool *m_recorder;
    QTimer m_recordSoon;
};
