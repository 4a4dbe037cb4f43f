#include "MessageDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <deque>
#include <initializer_list>

namespace tavro::app {

namespace {

struct TButtonInfo {
    unsigned Bit;
    const char* Caption;
    int Result;
    const char* Name;
};

// Display order of the button row.
constexpr std::array<TButtonInfo, MsgButtonCount> ButtonTable{{
    {mbtYes, "&Yes", mrYes, "Yes"},
    {mbtNo, "&No", mrNo, "No"},
    {mbtOK, "OK", mrOk, "OK"},
    {mbtAppend, "A&ppend", mrAppend, "Append"},
    {mbtOverwrite, "Over&write", mrOverwrite, "Overwrite"},
    {mbtRename, "R&ename", mrRename, "Rename"},
    {mbtCancel, "Cancel", mrCancel, "Cancel"},
    {mbtAbort, "&Abort", mrAbort, "Abort"},
    {mbtRetry, "&Retry", mrRetry, "Retry"},
    {mbtIgnore, "&Ignore", mrIgnore, "Ignore"},
    {mbtAll, "&All", mrAll, "All"},
    {mbtNoToAll, "N&o to All", mrNoToAll, "NoToAll"},
    {mbtYesToAll, "Yes to &All", mrYesToAll, "YesToAll"},
    {mbtHelp, "&Help", mrNone, "Help"},
}};

constexpr unsigned AllButtons = (1u << MsgButtonCount) - 1;
constexpr int MinButtonWidth = 75;

std::deque<int> Answers;
std::vector<TMessageDlgCall> Calls;
THelpTopicHandler HelpHandler = nullptr;

unsigned FirstPresent(unsigned buttons, std::initializer_list<unsigned> preference) {
    for (unsigned bit : preference)
        if (buttons & bit)
            return bit;
    return 0;
}

QString Caption(std::optional<TMsgDlgType> type) {
    if (!type)
        return QStringLiteral("Tavro");
    switch (*type) {
    case mtWarning:
        return QStringLiteral("Warning");
    case mtError:
        return QStringLiteral("Error");
    case mtInformation:
        return QStringLiteral("Information");
    case mtConfirmation:
        return QStringLiteral("Confirm");
    }
    return QStringLiteral("Tavro");
}

QStyle::StandardPixmap IconOf(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QStyle::SP_MessageBoxWarning;
    case mtError:
        return QStyle::SP_MessageBoxCritical;
    case mtInformation:
        return QStyle::SP_MessageBoxInformation;
    case mtConfirmation:
        return QStyle::SP_MessageBoxQuestion;
    }
    return QStyle::SP_MessageBoxInformation;
}

int HalfScreenWidth(QWidget* parent) {
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() / 2 : 400;
}

QLabel* MakeTextLabel(QWidget* dialog, QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, dialog);
    label->setObjectName(QStringLiteral("Message"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextInteractionFlags(
        dialog->style()->styleHint(QStyle::SH_MessageBox_TextInteractionFlags, nullptr, dialog)));
    // A wrapping label picks a narrow width of its own; give it the width the text needs, up
    // to half the screen.
    const int limit = HalfScreenWidth(parent);
    const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, limit, 0), Qt::TextWordWrap, text);
    label->setFixedWidth(std::min(needed.width() + 2, limit));
    return label;
}

} // namespace

unsigned DefaultMsgButton(unsigned buttons) {
    return FirstPresent(buttons, {mbtOK, mbtYes, mbtRetry});
}

unsigned EscapeMsgButton(unsigned buttons) {
    return FirstPresent(buttons, {mbtCancel, mbtNo, mbtOK});
}

int MsgButtonResult(unsigned button) {
    for (const TButtonInfo& info : ButtonTable)
        if (info.Bit == button)
            return info.Result;
    return mrNone;
}

TMessageForm::TMessageForm(QWidget* parent, const QString& text, std::optional<TMsgDlgType> type,
                           unsigned buttons, int helpTopic)
    : QDialog(parent), HelpTopic(helpTopic) {
    setWindowTitle(Caption(type));
    buttons &= AllButtons;
    if (buttons == 0)
        buttons = mbtOK;

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    if (type) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("Image"));
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        image->setPixmap(style()->standardIcon(IconOf(*type), nullptr, this).pixmap(size, size));
        image->setAlignment(Qt::AlignTop);
        body->addWidget(image, 0, Qt::AlignTop);
    }
    body->addWidget(MakeTextLabel(this, parent, text), 1, Qt::AlignLeft | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(16);
    layout->addLayout(body);
    BuildButtons(buttons);
}

void TMessageForm::BuildButtons(unsigned buttons) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch(1);
    const unsigned defaultBit = DefaultMsgButton(buttons);
    const unsigned escapeBit = EscapeMsgButton(buttons);
    int width = MinButtonWidth;
    for (const TButtonInfo& info : ButtonTable) {
        if (!(buttons & info.Bit))
            continue;
        auto* button = new QPushButton(QString::fromLatin1(info.Caption), this);
        button->setObjectName(QString::fromLatin1(info.Name));
        if (info.Bit == mbtHelp) {
            connect(button, &QPushButton::clicked, this, &TMessageForm::ShowHelp);
        } else {
            const int result = info.Result;
            connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        }
        button->setDefault(info.Bit == defaultBit);
        width = std::max(width, button->sizeHint().width());
        row->addWidget(button);
        ButtonList.push_back(button);
    }
    // Equal widths keep the row calm, as platform message boxes do.
    for (QPushButton* button : ButtonList)
        button->setMinimumWidth(width);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);

    HasEscape = escapeBit != 0;
    EscapeResult = MsgButtonResult(escapeBit);
    const auto focused = std::find_if(ButtonList.begin(), ButtonList.end(),
                                      [](QPushButton* button) { return button->isDefault(); });
    (focused != ButtonList.end() ? *focused : ButtonList.front())->setFocus();
}

void TMessageForm::reject() {
    // Without a button that answers Esc the user has to choose one; closing does nothing.
    if (HasEscape)
        done(EscapeResult);
}

void TMessageForm::ShowHelp() {
    if (HelpHandler)
        HelpHandler(this, HelpTopic);
}

namespace {

int Show(QWidget* parent, const QString& text, std::optional<TMsgDlgType> type, unsigned buttons,
         int helpTopic) {
    if (!Answers.empty()) {
        Calls.push_back({text, type.value_or(mtInformation), buttons, !type});
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    TMessageForm form(parent, text, type, buttons, helpTopic);
    return form.exec();
}

} // namespace

int MessageDlg(QWidget* parent, const QString& text, TMsgDlgType type, unsigned buttons, int helpTopic) {
    return Show(parent, text, type, buttons, helpTopic);
}

int CustomMessageDlg(QWidget* parent, const QString& text, unsigned buttons, int helpTopic) {
    return Show(parent, text, std::nullopt, buttons, helpTopic);
}

void SetMessageDlgHelpHandler(THelpTopicHandler handler) {
    HelpHandler = handler;
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
