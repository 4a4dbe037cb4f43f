#pragma once

#include <QObject>
#include <QStringList>

#include <memory>
#include <string>

class QApplication;
class QTimer;

namespace tavro {
class TConfigLock;
struct TStartupImport;
class TNodelistIndex;
class TUser;
} // namespace tavro

namespace tavro::app {

class TExitSignals;
class TSingleInstance;
class TViewForm;

// The program's index of compiled nodelists, for the configured nodelist directory.
TNodelistIndex& NodelistIndex();

// The shell between start-up and shut-down: loads the configuration, makes sure a user
// exists, shows the reader window and picks its user, keeps the nodelist index fresh, and
// on the way out saves the users and the address book and starts the run-on-exit command.
class TMainForm : public QObject {
    Q_OBJECT
public:
    explicit TMainForm(QStringList arguments, QObject* parent = nullptr);
    ~TMainForm() override;

    // Up to the shown reader window; false when the program ends at once (ExitCode says
    // how). The user is chosen once the event loop runs.
    bool Start();
    int ExitCode() const { return ExitCode_; }
    TViewForm* Viewer() const { return Viewer_.get(); }

    // Alt+X: asks when the settings want it, then closes every window.
    void ExitCommand();
    // Shut-down without questions: a signal from the system.
    void Terminate();
    // The user the -UID= argument names, or null.
    TUser* UserFromArguments() const;
    // The nodelist timer's work: compiles and reloads the index when a nodelist changed or
    // the index is empty, showing progress in the reader; failures stay silent.
    void NodelistTimerTick();

signals:
    // The shell closed; the process ends with `code`.
    void Finished(int code);

private:
    bool LoadConfiguration();
    void TakeRunLock(const std::string& dir);
    void ReportStartupImport(const TStartupImport& import);
    bool EnsureUser();
    void CreateViewer();
    void ChooseUser();
    void CheckIdle();
    void Shutdown(bool ask);
    bool SaveFiles();
    void RunOnExit();
    int AnswerSecondCopy();
    void CloseWindows();

    QStringList Arguments;
    std::unique_ptr<TViewForm> Viewer_;
    std::unique_ptr<TConfigLock> RunLock;
    TSingleInstance* Instance = nullptr;
    TExitSignals* Signals = nullptr;
    QTimer* NodelistTimer = nullptr;
    int ExitCode_ = 0;
    bool ViewerOpen = false;
    bool Terminating = false;
    bool Closed = false;
};

// Runs the program from start-up to shut-down; the process's exit status.
int RunTavro(QApplication& application);

} // namespace tavro::app
