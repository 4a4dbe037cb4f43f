#pragma once

#include "core/UserInterface.h"

#include <QString>

#include <vector>

class QWidget;

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

// Shows the program's message dialog: icon and caption by type, the text, the buttons of
// `buttons` (TMsgButton bits) in their fixed order. Returns the chosen button's result.
int MessageDlg(QWidget* parent, const QString& text, TMsgDlgType type, unsigned buttons, int helpTopic = 0);

// Tests answer message dialogs in advance: while answers are queued, MessageDlg records
// the call and returns the next answer without showing anything.
struct TMessageDlgCall {
    QString Text;
    TMsgDlgType Type;
    unsigned Buttons;
};
void QueueMessageDlgAnswer(int result);
const std::vector<TMessageDlgCall>& RecordedMessageDlgCalls();
void ClearMessageDlgRecord();

} // namespace tavro::app
