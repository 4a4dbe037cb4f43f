#pragma once

#include "core/UserInterface.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <vector>

class QPushButton;

namespace tavro::app {

// The fourteen buttons of the program's message dialog, as bits of a button set.
enum TMsgButton : unsigned {
    mbtYes = 1u << 0,
    mbtNo = 1u << 1,
    mbtOK = 1u << 2,
    mbtAppend = 1u << 3,
    mbtOverwrite = 1u << 4,
    mbtRename = 1u << 5,
    mbtCancel = 1u << 6,
    mbtAbort = 1u << 7,
    mbtRetry = 1u << 8,
    mbtIgnore = 1u << 9,
    mbtAll = 1u << 10,
    mbtNoToAll = 1u << 11,
    mbtYesToAll = 1u << 12,
    mbtHelp = 1u << 13,
};
constexpr int MsgButtonCount = 14;

// The results the buttons give.
enum TMsgResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
    mrAppend = 11,
    mrOverwrite = 12,
    mrRename = 13,
};

// The button Enter presses and the one Esc presses in a button set; 0 when there is none.
unsigned DefaultMsgButton(unsigned buttons);
unsigned EscapeMsgButton(unsigned buttons);
// The result of one button bit.
int MsgButtonResult(unsigned button);

// The dialog itself: icon and caption by type (none and the program's title for a custom
// dialog), the wrapped text and a centred row of the chosen buttons in their fixed order.
// exec() returns the chosen button's result; closing the window answers like Esc.
class TMessageForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMessageForm)
public:
    TMessageForm(QWidget* parent, const QString& text, std::optional<TMsgDlgType> type, unsigned buttons,
                 int helpTopic = 0);

    // The buttons in the order shown.
    const std::vector<QPushButton*>& Buttons() const { return ButtonList; }

    void reject() override;

private:
    void BuildButtons(unsigned buttons);
    void ShowHelp();

    std::vector<QPushButton*> ButtonList;
    int EscapeResult = mrNone;
    bool HasEscape = false;
    int HelpTopic = 0;
};

// Shows the program's message dialog with the buttons of `buttons` (TMsgButton bits); an
// empty set shows OK. Returns the chosen button's result.
int MessageDlg(QWidget* parent, const QString& text, TMsgDlgType type, unsigned buttons, int helpTopic = 0);
// The same without an icon, captioned with the program's title.
int CustomMessageDlg(QWidget* parent, const QString& text, unsigned buttons, int helpTopic = 0);

// What "&Help" does: the program installs its help window here; without one the button
// does nothing. The dialog stays open either way.
using THelpTopicHandler = void (*)(QWidget* parent, int helpTopic);
void SetMessageDlgHelpHandler(THelpTopicHandler handler);

// Tests answer message dialogs in advance: while answers are queued, MessageDlg records
// the call and returns the next answer without showing anything.
struct TMessageDlgCall {
    QString Text;
    TMsgDlgType Type;
    unsigned Buttons;
    bool Custom = false; // CustomMessageDlg; Type is then mtInformation
};
void QueueMessageDlgAnswer(int result);
const std::vector<TMessageDlgCall>& RecordedMessageDlgCalls();
void ClearMessageDlgRecord();

} // namespace tavro::app
