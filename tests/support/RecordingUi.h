#pragma once

#include "core/UserInterface.h"

#include <deque>
#include <string>
#include <vector>

namespace tavro::test {

// Records what the core shows and answers its questions from a queue. Installed for its
// lifetime.
class TRecordingUi final : public TUserInterface {
public:
    TRecordingUi() { SetUserInterface(this); }
    ~TRecordingUi() override { SetUserInterface(nullptr); }

    void ShowError(const std::string& text) override { Errors.push_back(text); }
    TMsgDlgButton Ask(const std::string& text, TMsgDlgType,
                      const std::vector<TMsgDlgButton>& buttons) override {
        Questions.push_back(text);
        if (Answers.empty())
            return buttons.empty() ? mbCancel : buttons.front();
        TMsgDlgButton answer = Answers.front();
        Answers.pop_front();
        return answer;
    }

    std::vector<std::string> Errors;
    std::vector<std::string> Questions;
    std::deque<TMsgDlgButton> Answers;
};

} // namespace tavro::test
