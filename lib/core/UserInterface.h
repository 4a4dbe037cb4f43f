#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace tavro {

enum TMsgDlgButton {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
    mbAppend,
    mbOverwrite,
    mbRename
};

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

// How the core shows an error box or asks a question. The desktop program answers with
// its dialogs, tavro-cli on standard error, tests with a recorder.
class TUserInterface {
public:
    virtual ~TUserInterface() = default;
    virtual void ShowError(const std::string& text) = 0;
    // The button the user chose; the first button when nobody can answer.
    virtual TMsgDlgButton Ask(const std::string& text, TMsgDlgType type,
                              const std::vector<TMsgDlgButton>& buttons) = 0;
};

// The interface in use; a silent one until the program installs its own.
TUserInterface& UserInterface();
// Installs `ui` (not owned); null restores the silent one.
void SetUserInterface(TUserInterface* ui);

// The three error boxes of the message bases.
void ShowCantOpenBase();
void ShowBaseDamaged(const std::string& fileName);
void ShowCannotAccessDirectory(const std::string& path);

} // namespace tavro
