#include "shell/notesfolderpanel.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestNotesFolderPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsTheTextsAndReturnsTheFolder_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed: the folder") << true;
        QTest::newRow("cancelled: none") << false;
    }
    void showsTheTextsAndReturnsTheFolder()
    {
        QFETCH(bool, confirm);
        QTemporaryDir dir;
        const NotesFolder::PanelRequest request = NotesFolder::panelRequest();
        QString title;
        QString prompt;
        QString message;
        // The dialog is modal: look at it and answer from the event loop it runs.
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, &answer, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            answer.stop();
            title = dialog->windowTitle();
            prompt = dialog->labelText(QFileDialog::Accept);
            if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("notesFolderMessage")))
                message = label->text();
            if (confirm) {
                dialog->setDirectory(dir.path());
                dialog->selectFile(dir.path());
                static_cast<QDialog *>(dialog)->accept();
            } else {
                dialog->reject();
            }
        });
        answer.start();
        const std::optional<QUrl> chosen = NotesFolderPanel::run(request);
        QCOMPARE(title, request.title);
        QCOMPARE(prompt, QStringLiteral("Use Folder"));
        QCOMPARE(message, request.message);
        if (confirm)
            QCOMPARE(chosen.value_or(QUrl()).toLocalFile(), dir.path());
        else
            QCOMPARE(chosen, std::nullopt);
    }
};

QTEST_MAIN(TestNotesFolderPanel)
#include "tst_notesfolderpanel.moc"
