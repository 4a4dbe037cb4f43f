#pragma once

#include "core/UserInterface.h"

#include <QPointer>
#include <QWidget>

namespace tavro::app {

// The core's error boxes and questions as the program's message dialogs, over the given
// window or, without one, over the active window.
class TQtUserInterface final : public TUserInterface {
public:
    explicit TQtUserInterface(QWidget* parent = nullptr) : Parent(parent) {}

    void ShowError(const std::string& text) override;
    TMsgDlgButton Ask(const std::string& text, TMsgDlgType type,
                      const std::vector<TMsgDlgButton>& buttons) override;

private:
    QWidget* DialogParent() const;

    QPointer<QWidget> Parent;
};

// The message dialog's bit for a core button, and the core button a dialog result stands for
// among `buttons` (the first of them when none does).
unsigned ToMsgButtons(const std::vector<TMsgDlgButton>& buttons);
TMsgDlgButton FromMsgResult(int result, const std::vector<TMsgDlgButton>& buttons);

} // namespace tavro::app
