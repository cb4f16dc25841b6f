#include "appdelegate.h"

#include "editor/window/editor.h"
#include "editor/window/windowquestions.h"
#include "framework/document.h"
#include "shell/documentcontroller.h"
#include "framework/filenames.h"
#include "framework/filewatcher.h"
#include "framework/interruptedsavelog.h"
#include "framework/posixfile.h"
#include "framework/recoverystore.h"
#include "framework/settingsfile.h"
#include "framework/startuptrace.h"
#include "shell/appmenus.h"
#include "shell/notesfolderpanel.h"
#include "shell/openerrorreport.h"
#include "shell/quitting.h"
#include "shell/singleinstance.h"
#include "shell/windowplacement.h"
#include "storage/notesfolder.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include <tuple>

namespace {

constexpr char stateFolderName[] = "noltnolt";

// Qt lays the windows out right to left when the catalog answers this entry of its own with "RTL" (Hebrew, Arabic).
// Named here so that updating the catalogs from the sources keeps it.
//: "RTL" in a right-to-left language, "LTR" in any other: the windows are laid out by it.
[[maybe_unused]] constexpr char layoutDirectionEntry[] = QT_TRANSLATE_NOOP("QGuiApplication", "QT_LAYOUT_DIRECTION");

// The app's catalog for the user's languages, and Qt's own for that language where the system has it: its dialogs
// and key names. Once per application.
void installTranslation()
{
    static QPointer<QTranslator> installed;
    if (installed)
        return;
    auto *translator = new QTranslator(QCoreApplication::instance());
    installed = translator;
    QStringList catalogs = QDir(QStringLiteral(":/i18n")).entryList({QStringLiteral("noltnolt_*.qm")});
    for (QString &name : catalogs)
        name = name.section(u'_', 1).chopped(3);
    // None for the user's languages: the sources' English, whose catalog holds its plurals ("1 file", "2 files").
    const QString catalog = AppDelegate::catalogFor(QLocale().uiLanguages() << QStringLiteral("en"), catalogs);
    if (catalog.isEmpty() || !translator->load(QStringLiteral(":/i18n/noltnolt_%1.qm").arg(catalog)))
        return;
    QCoreApplication::installTranslator(translator);
    auto *toolkit = new QTranslator(translator);
    if (toolkit->load(QStringLiteral("qtbase_") + translator->language(),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(toolkit);
}

} // namespace

struct AppDelegate::Services
{
    InterruptedSaveLog interruptedSaves{InterruptedSaveLog::defaultFolder(QString::fromLatin1(stateFolderName))};
    RecoveryStore recovery{RecoveryStore::defaultFolder(QString::fromLatin1(stateFolderName)),
                           RecoveryStore::defaultFallbacks(QString::fromLatin1(stateFolderName))};
    FileWatcher watcher;
    // Gone first: their destructors wait for the writes and reads, which use the rest. Reads have their own, so a
    // disk that holds the writes never keeps another note from opening.
    QThreadPool writers;
    QThreadPool readers;
};

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , m_settingsProblem(SettingsFile::useIfReadable())
    , m_owned(std::make_unique<Services>())
    , m_documents(*new DocumentController(
          [this] { return new PlainTextDocument(&m_services); },
          [this](Document *note, WindowController *prepared) { Editor::openFor(note, editorServices(), prepared); },
          QString(), &m_owned->readers, this))
    , m_quitting(new Quitting(m_documents, this))
    , m_menus(new AppMenus(m_documents, this))
    , m_commands(*this, *m_quitting)
    , m_openErrors(new OpenErrorReport(m_documents, this))
    , m_placement(new WindowPlacement(m_documents, &m_owned->readers, this))
    , m_notesFolder(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))
{
    installTranslation();
    m_services.recovery = &m_owned->recovery;
    m_services.interruptedSaves = &m_owned->interruptedSaves;
    m_services.watcher = &m_owned->watcher;
    m_services.writers = &m_owned->writers;
    m_services.questions = WindowQuestions::make();
    m_documents.setWindowPreparer([this] { return new Editor(editorServices()); });
    connect(&m_documents, &DocumentController::newNotesNotOpened, this, [this](const QUrl &first, int count) {
        const QFileInfo file(FileNames::pathOfUrl(first));
        m_openErrors->add(first, Error(QString::fromUtf16(ErrorDomain::quorbell), 0,
                                       tr("%Ln new notes were not opened: Nolt Nolt makes at most %1 at once. The "
                                          "first of them is “%2” in “%3”.",
                                          nullptr, count)
                                           .arg(DocumentController::newNotesPerBurst)
                                           .arg(FileNames::displayName(file.fileName()),
                                                FileNames::displayName(file.absolutePath()))));
    });
    // The icon is the window manager's: its search through the icon themes waits until the first window is on its
    // way. A question asked before any window takes it at once.
    connect(
        &m_documents, &DocumentController::windowControllersMade, this,
        [this] { QTimer::singleShot(0, this, &AppDelegate::setApplicationIcon); }, Qt::SingleShotConnection);
    m_chosenFolder.setPanel([](const NotesFolder::PanelRequest &request) {
        return NotesFolderPanel::run(request, QApplication::activeWindow());
    });
}

EditorServices AppDelegate::editorServices()
{
    return {&m_menus->dispatcher(), &m_zoom, &m_spelling, [this](const QString &path) {
                open(FileNames::urlOfPath(path));
            }};
}

AppDelegate::~AppDelegate()
{
    // Windows go while the application object still exists. However the event loop ended, an edited note is
    // written first; one that cannot be (or waits for an answer) is kept for recovery.
    const QList<Document *> open = m_documents.documents();
    for (Document *document : open) {
        document->letGoUnsaved();
        document->close();
    }
    // The notes, their windows and the readers go before the services they use; the latest made first, as it may
    // use what came before it.
    QList<QPointer<QObject>> parts;
    for (QObject *child : children())
        parts.prepend(child);
    for (const QPointer<QObject> &part : std::as_const(parts))
        delete part.data();
    // A write or read that outlived its note's close (a disk that does not answer) goes on with the services it
    // uses: they are left to the end of the process rather than freed under it.
    const QDeadlineTimer deadline(Document::closeWaitMs);
    if (!m_owned->writers.waitForDone(int(deadline.remainingTime())) ||
        !m_owned->readers.waitForDone(int(deadline.remainingTime())) ||
        !m_owned->recovery.finishKeeping(int(deadline.remainingTime())))
        std::ignore = m_owned.release();
}

QString AppDelegate::catalogFor(const QStringList &languages, const QStringList &catalogs)
{
    // As QTranslator looks for a locale's file: each language as given, then in lower case, each cut back part by
    // part.
    for (const QString &language : languages) {
        for (QString name : {language, language.toLower()}) {
            name.replace(u'-', u'_');
            for (qsizetype cut = name.size(); cut > 0; cut = name.lastIndexOf(u'_')) {
                name.truncate(cut);
                if (catalogs.contains(name))
                    return name;
            }
        }
    }
    return {};
}

void AppDelegate::setLaunchFiles(const QList<QUrl> &files)
{
    m_launchFiles = files;
}

void AppDelegate::setNotesFolder(const QString &folder)
{
    m_notesFolder = folder;
}

void AppDelegate::setErrorPresenter(ErrorPresenter presenter)
{
    m_errorPresenter = std::move(presenter);
    m_openErrors->setPresenter(m_errorPresenter);
}

void AppDelegate::setOpenPanel(OpenPanel panel)
{
    m_commands.setOpenPanel(std::move(panel));
}

AppResources &AppDelegate::resources()
{
    return m_resources;
}

ActionDispatcher &AppDelegate::dispatcher()
{
    return m_menus->dispatcher();
}

void AppDelegate::applicationDidFinishLaunching()
{
    StartupTrace::mark("event loop");
    m_commands.startUpdateChecks();
    StartupTrace::mark("update checks");
    m_menus->install(&m_commands);
    StartupTrace::mark("menus");
    // A note rewritten in place when the app was killed is whole again before anything reads it, opened or not.
    m_documents.repairInterruptedSaves(&m_owned->interruptedSaves);
    StartupTrace::mark("interrupted saves");

    // The notes of the last quit are taken whatever this launch opens, so they never come back a session late.
    const QList<QUrl> restored = m_documents.takeRememberedDocumentUrls();
    m_placement->takeRememberedFrames();
    StartupTrace::mark("open-notes record");
    // Told where launch failures are told: in the first note window once the notes being read are open.
    if (m_settingsProblem)
        m_openErrors->add(FileNames::urlOfPath(SettingsFile::path()), *m_settingsProblem);
    // Text that could not be saved before the app last ended is offered first: nothing may be lost twice.
    const bool asking = offerRecoveredTexts();
    StartupTrace::mark("recovery offer");
    if (!m_launchFiles.isEmpty()) {
        applicationOpenUrls(m_launchFiles);
    } else if (!restored.isEmpty()) {
        applicationOpenUrls(restored);
        newNoteUnlessOneOpens();
    } else if (asking) {
        m_untitledAfterRecovery = true;
    } else {
        newNoteUnlessOneOpens();
    }
    StartupTrace::mark("open asked");
    Q_EMIT launched();
}

void AppDelegate::setApplicationIcon()
{
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(AppResources::applicationIcon());
}

bool AppDelegate::offerRecoveredTexts()
{
    auto *offer = new RecoveryOffer(m_owned->recovery, this);
    if (m_recoveryQuestion)
        offer->setQuestion(m_recoveryQuestion);
    offer->setFallbackFolders({m_notesFolder, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)});
    connect(offer, &RecoveryOffer::recovered, this, [this](const QUrl &file) { applicationOpenUrls({file}); });
    connect(offer, &RecoveryOffer::failed, this, [this](const Error &error) { presentError(error); });
    connect(offer, &RecoveryOffer::finished, this, [this, offer] {
        offer->deleteLater();
        if (std::exchange(m_untitledAfterRecovery, false))
            newNoteUnlessOneOpens();
    });
    if (offer->offer() == 0)
        return false;
    setApplicationIcon();
    return true;
}

void AppDelegate::setRecoveryQuestion(RecoveryOffer::Question question)
{
    m_recoveryQuestion = std::move(question);
}

void AppDelegate::listenTo(SingleInstance &instance)
{
    connect(&instance, &SingleInstance::openRequested, this, &AppDelegate::applicationOpenUrls);
    connect(&instance, &SingleInstance::activateRequested, this, &AppDelegate::reopen);
    connect(&instance, &SingleInstance::actionRequested, this,
            [this](const QString &name, const QVariantList &) { performAction(name); });
}

void AppDelegate::applicationOpenUrls(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls)
        open(url);
}

void AppDelegate::applicationOpenUntitledFile()
{
    newDocument();
}

void AppDelegate::performAction(const QString &name)
{
    if (name == u"chooseNotesFolder")
        chooseNotesFolder();
}

void AppDelegate::newNoteUnlessOneOpens()
{
    const auto newNoteIfNone = [this] {
        if (m_documents.documents().isEmpty())
            applicationOpenUntitledFile();
    };
    // Files still being read may yet open: the answer waits for them.
    if (m_documents.isOpening())
        connect(&m_documents, &DocumentController::opensFinished, this, newNoteIfNone, Qt::SingleShotConnection);
    else
        newNoteIfNone();
}

void AppDelegate::open(const QUrl &url, const std::function<void(Document *)> &opened)
{
    m_documents.openDocument(url, true,
                             [report = QPointer<OpenErrorReport>(m_openErrors), url,
                              opened](Document *document, bool alreadyOpen, const std::optional<Error> &error) {
                                 if (error && report)
                                     report->add(url, *error);
                                 if (document && !alreadyOpen && opened)
                                     opened(document);
                             });
}

Editor *AppDelegate::current() const
{
    Document *document = m_documents.currentDocument();
    const QList<WindowController *> windows = WindowController::of(document);
    return windows.isEmpty() ? nullptr : qobject_cast<Editor *>(windows.constFirst());
}

void AppDelegate::presentError(const Error &error)
{
    if (m_errorPresenter) {
        m_errorPresenter(error);
        return;
    }
    m_openErrors->present(error);
}
