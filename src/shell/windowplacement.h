#pragma once

#include <QHash>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

class Document;
class DocumentController;
class QThreadPool;
class WriteQueue;
class QWidget;

// Where note windows go, as frames: the window with the title bar and border the window manager adds. A note
// reopened at launch gets the frame its window had at the last quit; the one window holding the "EditorWindow"
// name (the first open) gets the frame that name last had; any other new window steps one title bar down and right
// from the active one, back to the screen's edge when it would leave it, and with none it is centred. Every frame
// fits the screen's available area, shrunk when the screen is smaller. All of it before the window first shows,
// so that the window manager maps it in place, with the border the last run saw; only a larger one (another window
// manager) fits the window again once it shows.
class WindowPlacement : public QObject
{
    Q_OBJECT

public:
    static constexpr char framesKey[] = "NoteWindowFramesAtQuit";
    static constexpr char firstFrameKey[] = "EditorWindow";
    static constexpr char marginsKey[] = "NoteWindowFrameMargins";

    // Places the windows of every document the controller opens, before they show. The frames are written on
    // workers, the app's pool, which outlives this; none: the process's own.
    WindowPlacement(DocumentController &documents, QThreadPool *workers = nullptr, QObject *parent = nullptr);
    ~WindowPlacement() override;

    // Places a note's window before it first shows.
    void place(QWidget *window, const QUrl &url);
    // Remembers the frame of each document's window, for the next launch.
    static void rememberFrames(const QList<Document *> &documents);
    // Reads the frames remembered at the last quit; each is used once, by the next window of its note.
    void takeRememberedFrames();

    static QRect fitted(const QRect &frame, const QRect &available);
    static QPoint cascaded(const QRect &from, int step, const QSize &size, const QRect &available);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *cascadeSource(const QWidget *window) const;
    // What the window manager adds around a window: as a shown window has it, else as the last run saw it.
    QMargins expectedMargins() const;
    static QVariantMap framesOf(const QList<Document *> &documents);
    void recordFrames();
    void release(QWidget *window);

    QHash<QString, QRect> m_frames;
    QRect m_firstFrame;
    QMargins m_margins;
    QPointer<QWidget> m_last;
    // The window holding the "EditorWindow" name: its frame is kept under it.
    QPointer<QWidget> m_holder;
    // Windows whose frame is not checked against the screen yet: the window manager's border is known only once
    // a window shows.
    QSet<QWidget *> m_unchecked;
    DocumentController &m_documents;
    WriteQueue *m_recorder;
    QTimer m_recordSoon;
};
