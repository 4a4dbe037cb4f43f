#include "MessageDialog.h"

#include <QMessageBox>

#include <deque>

namespace tavro::app {

namespace {

std::deque<int> Answers;
std::vector<TMessageDlgCall> Calls;

} // namespace

int MessageDlg(QWidget* parent, const QString& text, TMsgDlgType type, unsigned buttons, int) {
    if (!Answers.empty()) {
        Calls.push_back({text, type, buttons});
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    // Placeholder until the program's own dialog exists.
    QMessageBox::information(parent, QStringLiteral("Tavro"), text);
    return buttons & mbtYes ? mrYes : mrOk;
}

void QueueMessageDlgAnswer(int result) {
    Answers.push_back(result);
}

const std::vector<TMessageDlgCall>& RecordedMessageDlgCalls() {
    return Calls;
}

void ClearMessageDlgRecord() {
    Calls.clear();
    Answers.clear();
}

} // namespace tavro::app
