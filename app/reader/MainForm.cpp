#include "MainForm.h"

#include "ReaderCompose.h"

#include "ExitSignals.h"
#include "SelectUserDialog.h"
#include "SingleInstance.h"
#include "UkrainianInputFilter.h"
#include "ViewForm.h"
#include "config/EditUserForm.h"
#include "widgets/HintStyle.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"
#include "widgets/QtUserInterface.h"
#include "widgets/Resources.h"

#include "config/AddressBookFile.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/ConfigLock.h"
#include "config/ConfigSave.h"
#include "config/NodelistZone.h"
#include "config/ProgramFiles.h"
#include "config/TosserImport.h"
#include "config/User.h"
#include "config/UsersFile.h"
#include "core/ConfigDir.h"
#include "core/StrUtils.h"
#include "nodelist/Nodelist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProcess>
#include <QShortcut>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <ctime>

namespace tavro::app {

namespace {

constexpr int NodelistIntervalMs = 10000;

const char* const ReadErrorText =
    "Error reading config files. Execution is not possible. Press any key to continue or other key to exit.";
const char* const SaveErrorText = "Error saving config files. Don't quit Tavro?";
const char* const QuitQuestion = "Do you want to quit Tavro?";

std::string ConfigHome() {
    std::string dir;
    EnsureConfigDir(dir);
    return dir;
}

} // namespace

TNodelistIndex& NodelistIndex() {
    static std::unique_ptr<TNodelistIndex> index;
    // Setup may point the program at another nodelist directory.
    const std::string dir = TNodelistIndex(Settings().NdlDir).Dir();
    if (!index || index->Dir() != dir)
        index = std::make_unique<TNodelistIndex>(Settings().NdlDir);
    return *index;
}

TMainForm::TMainForm(QStringList arguments, QObject* parent)
    : QObject(parent), Arguments(std::move(arguments)) {}

TMainForm::~TMainForm() = default;

bool TMainForm::Start() {
    if (!LoadConfiguration()) {
        ExitCode_ = 1;
        return false;
    }
    if (!EnsureUser())
        return false;
    CreateViewer();
    Signals = new TExitSignals(this);
    connect(Signals, &TExitSignals::Received, this, &TMainForm::Terminate);
    NodelistTimer = new QTimer(this);
    connect(NodelistTimer, &QTimer::timeout, this, &TMainForm::NodelistTimerTick);
    NodelistTimer->start(NodelistIntervalMs);
    QTimer::singleShot(0, this, &TMainForm::ChooseUser);
    return true;
}

bool TMainForm::LoadConfiguration() {
    try {
        const std::string dir = ConfigHome();
        TakeRunLock(dir);
        TConfig& config = Config();
        LoadProgramFiles(config, dir, [] { NodelistIndex().LoadNodelistIndex(); });
        if (config.Settings.AutoLoadConfig)
            ReportStartupImport(ImportTosserConfig(config, dir));
        return true;
    } catch (const std::exception&) {
        MessageDlg(nullptr, QString::fromLatin1(ReadErrorText), mtError, mbtOK);
        return false;
    }
}

// A tosser configuration that cannot be read does not keep the program from starting: it
// runs with the areas it has, and says why they were not brought up to date.
void TMainForm::ReportStartupImport(const TStartupImport& import) {
    QString text;
    if (import.Outcome == soFailed)
        text = QStringLiteral(
            "The tosser configuration could not be imported; Tavro starts with the stored areas.");
    else if (import.Outcome == soNotSaved)
        text = QStringLiteral("The areas imported from the tosser configuration could not be saved.");
    else
        return;
    MessageDlg(nullptr, text + QStringLiteral("\n\n") + QString::fromStdString(import.Error), mtWarning,
               mbtOK);
}

// Held while the program runs, so a command-line import does not rewrite the areas under
// it. An import in progress takes moments; after that the program runs without the lock.
void TMainForm::TakeRunLock(const std::string& dir) {
    for (int tries = 0; tries < 100 && !RunLock; ++tries) {
        RunLock = TConfigLock::Take(dir, TConfigLock::TKind::Running);
        if (!RunLock)
            QThread::msleep(20);
    }
}

bool TMainForm::EnsureUser() {
    TConfig& config = Config();
    if (!config.Users.empty())
        return true;
    std::unique_ptr<TUser> user = config.NewUser();
    if (!EditUser(nullptr, *user, QStringLiteral("Create first user")))
        return false;
    config.Users.push_back(std::move(user));
    // The setup dialog that follows here comes with the setup dialogs.
    try {
        // The users file too, or a crash before the exit would lose the new user.
        SaveConfigAndUsers(config, ConfigHome());
    } catch (const std::exception& e) {
        MessageDlg(nullptr, QString::fromStdString(e.what()), mtError, mbtOK);
    }
    return true;
}

void TMainForm::CreateViewer() {
    Viewer_ = std::make_unique<TViewForm>();
    connect(Viewer_.get(), &TViewForm::Closed, this, [this] {
        ViewerOpen = false;
        QTimer::singleShot(0, this, &TMainForm::CheckIdle);
    });
    ViewerOpen = true;
    auto* exit = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_X), Viewer_.get());
    exit->setContext(Qt::ApplicationShortcut);
    connect(exit, &QShortcut::activated, this, &TMainForm::ExitCommand);
    Instance = new TSingleInstance(this);
    Instance->Listen([this] { return AnswerSecondCopy(); });
    Viewer_->show();
}

int TMainForm::AnswerSecondCopy() {
    if (!Settings().OnlyOneInstance || !Viewer_)
        return 0;
    Viewer_->RestoreFromTray();
    return -1;
}

TUser* TMainForm::UserFromArguments() const {
    for (const QString& argument : Arguments) {
        if (!argument.left(5).toUpper().startsWith(QLatin1String("-UID=")))
            continue;
        int32_t id = 0;
        if (!StrToInt(argument.mid(5).toStdString(), id))
            return nullptr;
        return FindUserById(Config(), id);
    }
    return nullptr;
}

void TMainForm::ChooseUser() {
    if (!Viewer_ || Viewer_->CurrentUser() != nullptr)
        return;
    const auto& users = Config().Users;
    TUser* user = users.size() == 1 ? users.front().get() : UserFromArguments();
    if (user == nullptr)
        user = SelectUser(Viewer_.get());
    if (user == nullptr) {
        Viewer_->close();
        return;
    }
    Viewer_->SetCurrentUser(user);
    // What a crash or a killed program left unsent comes back first.
    Viewer_->Compose()->OfferLeftDrafts();
}

void TMainForm::CheckIdle() {
    if (Closed || ViewerOpen)
        return;
    Shutdown(!Terminating);
}

void TMainForm::ExitCommand() {
    if (Settings().ConfirmExit && MessageDlg(QApplication::activeWindow(), QString::fromLatin1(QuitQuestion),
                                             mtConfirmation, mbtYes | mbtNo) != mrYes)
        return;
    CloseWindows();
}

void TMainForm::Terminate() {
    Terminating = true;
    CloseWindows();
}

void TMainForm::CloseWindows() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window != Viewer_.get())
            window->close();
    // Also a reader hidden in the tray, so that its layout is saved.
    if (ViewerOpen)
        Viewer_->close();
}

void TMainForm::Shutdown(bool ask) {
    if (!SaveFiles() && ask &&
        MessageDlg(nullptr, QString::fromLatin1(SaveErrorText), mtError, mbtYes | mbtNo) != mrNo) {
        // Staying means a window to stay in; the reader comes back as it was.
        ViewerOpen = true;
        Viewer_->show();
        return;
    }
    Closed = true;
    if (NodelistTimer)
        NodelistTimer->stop();
    RunOnExit();
    emit Finished(ExitCode_);
}

bool TMainForm::SaveFiles() {
    try {
        const std::string dir = ConfigHome();
        SaveConfigFiles(Config(), {{TConfigFile::Users, UsersFileName(dir)},
                                   {TConfigFile::Book, AddressBookFileName(dir)}});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TMainForm::RunOnExit() {
    const QString command = ToQt(Trim(Settings().RunOnExit));
    if (command.isEmpty())
        return;
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty())
        return;
    const QString program = parts.takeFirst();
    QProcess::startDetached(program, parts);
}

void TMainForm::NodelistTimerTick() {
    TNodelistIndex& index = NodelistIndex();
    // Nothing configured, nothing to compile: no files rewritten every ten seconds.
    if (Settings().NdlMasks.empty() || (!index.NodelistsChanged() && !index.Entries().empty()))
        return;
    Viewer_->ShowProgress(-1);
    int shown = -1;
    // A file that fails is the setup's business: the timer shows nothing of it.
    const TNodelistCompileReport report = index.CompileNodelists(
        Settings().NdlMasks, NodelistFallbackZone(Config()),
        [this, &shown](int percent, const std::string& file) {
            if (percent != shown) {
                Viewer_->ShowProgress(percent);
                shown = percent;
            }
            if (percent == 0)
                Viewer_->SetStatusText(2,
                                       QStringLiteral("Compiling \"%1\"").arg(QString::fromStdString(file)));
            return true;
        });
    if (report.Ok())
        index.LoadNodelistIndex();
    Viewer_->HideProgress();
    Viewer_->SetStatusText(2, QString());
}

int RunTavro(QApplication& application) {
    InitResources();
    QApplication::setApplicationName(QStringLiteral("Tavro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavro"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(new THintStyle);
    TQtUserInterface ui;
    SetUserInterface(&ui);
    TUkrainianInputFilter ukrainianInput;
    application.installEventFilter(&ukrainianInput);
    if (TSingleInstance::RunningCopyTakesOver())
        return 0;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    TMainForm shell(application.arguments().mid(1));
    if (!shell.Start())
        return shell.ExitCode();
    QObject::connect(&shell, &TMainForm::Finished, &application, &QApplication::exit);
    const int code = application.exec();
    SetUserInterface(nullptr);
    return code;
}

} // namespace tavro::app
