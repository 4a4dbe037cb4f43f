#include "UserInterface.h"

namespace tavro {

namespace {

class TSilentInterface final : public TUserInterface {
public:
    void ShowError(const std::string&) override {}
    TMsgDlgButton Ask(const std::string&, TMsgDlgType, const std::vector<TMsgDlgButton>& buttons) override {
        return buttons.empty() ? mbCancel : buttons.front();
    }
};

TSilentInterface SilentInterface;
TUserInterface* Current = &SilentInterface;

} // namespace

TUserInterface& UserInterface() {
    return *Current;
}

void SetUserInterface(TUserInterface* ui) {
    Current = ui ? ui : &SilentInterface;
}

void ShowCantOpenBase() {
    Current->ShowError("Can't open message base file.");
}

void ShowBaseDamaged(const std::string& fileName) {
    Current->ShowError("Message base \"" + fileName + "\" is damaged. Base needs fixing.");
}

void ShowCannotAccessDirectory(const std::string& path) {
    Current->ShowError("Cannot access directory \"" + path + "\".");
}

} // namespace tavro
