#include "QtUserInterface.h"

#include "MessageDialog.h"
#include "QtText.h"

#include <QApplication>

#include <array>

namespace tavro::app {

namespace {

struct TButtonPair {
    TMsgDlgButton Core;
    unsigned Bit;
};

constexpr std::array<TButtonPair, MsgButtonCount> Pairs{{
    {mbYes, mbtYes},
    {mbNo, mbtNo},
    {mbOK, mbtOK},
    {mbAppend, mbtAppend},
    {mbOverwrite, mbtOverwrite},
    {mbRename, mbtRename},
    {mbCancel, mbtCancel},
    {mbAbort, mbtAbort},
    {mbRetry, mbtRetry},
    {mbIgnore, mbtIgnore},
    {mbAll, mbtAll},
    {mbNoToAll, mbtNoToAll},
    {mbYesToAll, mbtYesToAll},
    {mbHelp, mbtHelp},
}};

unsigned BitOf(TMsgDlgButton button) {
    for (const TButtonPair& pair : Pairs)
        if (pair.Core == button)
            return pair.Bit;
    return 0;
}

} // namespace

unsigned ToMsgButtons(const std::vector<TMsgDlgButton>& buttons) {
    unsigned bits = 0;
    for (TMsgDlgButton button : buttons)
        bits |= BitOf(button);
    return bits;
}

TMsgDlgButton FromMsgResult(int result, const std::vector<TMsgDlgButton>& buttons) {
    for (TMsgDlgButton button : buttons)
        if (button != mbHelp && MsgButtonResult(BitOf(button)) == result)
            return button;
    // The dialog shows OK for an empty set.
    return buttons.empty() ? mbOK : buttons.front();
}

void TQtUserInterface::ShowError(const std::string& text) {
    MessageDlg(DialogParent(), ToQt(text), mtError, mbtOK);
}

TMsgDlgButton TQtUserInterface::Ask(const std::string& text, TMsgDlgType type,
                                    const std::vector<TMsgDlgButton>& buttons) {
    return FromMsgResult(MessageDlg(DialogParent(), ToQt(text), type, ToMsgButtons(buttons)), buttons);
}

QWidget* TQtUserInterface::DialogParent() const {
    return Parent ? Parent.data() : QApplication::activeWindow();
}

} // namespace tavro::app
