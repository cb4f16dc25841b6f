// A window titled "drag source" in the screen's top-left corner that starts a drag when pressed, offering each
// MIME type with its data, as a file manager or another editor does; exits soon after the drop, once the target
// had time to read the data.
//   dragsource TYPE DATA [TYPE DATA]...
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

class DragSource : public QWidget
{
protected:
    void mousePressEvent(QMouseEvent *) override
    {
        auto *drag = new QDrag(this);
        auto *data = new QMimeData;
        const QStringList offers = QCoreApplication::arguments().mid(1);
        for (qsizetype i = 0; i + 1 < offers.size(); i += 2)
            data->setData(offers.at(i), offers.at(i + 1).toUtf8());
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction | Qt::MoveAction);
        QTimer::singleShot(2000, qApp, &QCoreApplication::quit);
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    DragSource source;
    source.setWindowTitle(QStringLiteral("drag source"));
    source.setGeometry(0, 0, 120, 120);
    source.show();
    return QApplication::exec();
}
