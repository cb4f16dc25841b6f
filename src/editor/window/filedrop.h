#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QMimeData;
class QWidget;

// Files dragged onto a note's window from a file manager open in windows of their own, and the note never takes
// them in as text: such a drag offers the files' addresses as text too. Text dragged from another program still goes
// into whatever field it is dropped on.
class FileDrop : public QObject
{
    Q_OBJECT

public:
    using Open = std::function<void(const QString &path)>;

    // Watches window and each of its parts that takes drops; without open, dropped files are refused.
    FileDrop(QWidget *window, Open open);

    // The files a drag carries, or none when it carries anything that is not a local file.
    static QStringList files(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Open m_open;
};
