#pragma once

#include <QObject>
#include <QPointer>

class FindBar;
class QPlainTextEdit;

// What the menu bar's find, spelling and editing commands reach for one note's text view. The commands arrive
// by name along the focus chain as slots name(QObject *sender); the sender is the menu's QAction with its tag
// in the property "tag".
class TextTools : public QObject
{
    Q_OBJECT

public:
    // The find codes a menu item carries in its tag.
    enum FindAction
    {
        ShowFindInterface = 1,
        NextMatch = 2,
        PreviousMatch = 3,
        SetSearchString = 7,
        ShowReplaceInterface = 12,
    };
    Q_ENUM(FindAction)

    TextTools(QPlainTextEdit *textView, FindBar *findBar, QObject *parent = nullptr);
    ~TextTools() override;

    QPlainTextEdit *textView() const;
    FindBar *findBar() const;

public Q_SLOTS:
    void performFindPanelAction(QObject *sender);
    // "Jump to Selection": the selection goes to the middle of the view.
    void centerSelectionInVisibleArea(QObject *sender);

private:
    QPointer<QPlainTextEdit> m_textView;
    QPointer<FindBar> m_findBar;
};
