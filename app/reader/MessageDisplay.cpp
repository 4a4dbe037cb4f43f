#include "MessageDisplay.h"

#include "MainForm.h"
#include "MessageView.h"
#include "MsgHeaderPanel.h"

#include "widgets/FtnData.h"
#include "widgets/QtText.h"

#include "config/User.h"
#include "core/Base.h"
#include "nodelist/NodeHints.h"
#include "nodelist/Nodelist.h"
#include "reader/MsgNavigation.h"
#include "reader/MsgText.h"

#include <QEvent>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>

namespace tavro::app {

TMessageDisplay::TMessageDisplay(TMsgHeaderPanel* header, TMessageView* text, QObject* parent)
    : QObject(parent), Header(header), Text(text) {
    Text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(Header->LeftLinkButton(), &QToolButton::clicked, this, [this] {
        if (Parent >= 0)
            emit FocusRequested(Parent);
    });
    connect(Header->RightLinkButton(), &QToolButton::clicked, this, &TMessageDisplay::RightLinkClicked);
    AnswersMenu_ = new QMenu(Header);
    AnswersMenu_->setObjectName(QStringLiteral("AnswersMenu"));
    connect(AnswersMenu_, &QMenu::aboutToShow, this, &TMessageDisplay::FillAnswersMenu);
    Text->viewport()->installEventFilter(this);
}

bool TMessageDisplay::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == Text->viewport() && Current &&
        TextWidth() != ShownWidth) {
        const int scrolled = Text->verticalScrollBar()->value();
        try {
            FillText();
            Text->Complete(); // the place to go back to may lie below the first screen
            Text->verticalScrollBar()->setValue(scrolled);
        } catch (const EFileError&) {
            // The next move or update step finds the area locked.
        }
    }
    return QObject::eventFilter(watched, event);
}

void TMessageDisplay::SetUser(const TUser* user) {
    User = user;
    if (user)
        Text->SetUser(*user);
    else
        Text->SetUser(TUser());
}

int TMessageDisplay::TextWidth() const {
    if (!User || !User->FormatToViewer)
        return ViewerWidth;
    const int column = Text->fontMetrics().horizontalAdvance(QLatin1Char('m'));
    return std::max(20, Text->viewport()->width() / std::max(column, 1) - 1);
}

QString TMessageDisplay::TextOf(TCustomMsg& msg, int width) const {
    const TStringList lines = ViewerLines(msg, ShowKludges_, width);
    QStringList text;
    text.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines)
        text << ToQt(line);
    return text.join(QLatin1Char('\n'));
}

void TMessageDisplay::FillText() {
    const int width = TextWidth();
    ShownWidth = width;
    Text->ShowText(TextOf(*Current, width));
}

void TMessageDisplay::Show(TCustomBase& base, int position, const QIcon& rowIcon) {
    TMsgHandle msg = base.GetMsg(position);
    if (!msg)
        throw EFileError("the message list changed while it was read", 0);
    const int width = TextWidth();
    const QString text = TextOf(*msg, width);
    const TReplyLinks links = FindReplyLinks(base, *msg);
    const TNodeHints hints =
        BuildNodeHints(NodelistIndex(), msg->FromName, msg->FromAddr, msg->ToName, msg->ToAddr);
    Base = &base;
    Current = msg;
    Parent = links.Parent;
    Answers = links.Answers;
    ShownWidth = width; // before the text: its scroll bars may resize the view
    Text->ShowText(text);
    Text->verticalScrollBar()->setValue(0);
    Text->moveCursor(QTextCursor::Start);
    Header->ShowMessage(*msg, ToQt(MsgNumText(position, base.GetCount())), links, hints, rowIcon);
    UpdateAnswersMenu();
}

void TMessageDisplay::Clear() {
    Base = nullptr;
    Current.reset();
    Parent = -1;
    Answers.clear();
    Text->ClearText();
    Header->Clear();
    UpdateAnswersMenu();
}

void TMessageDisplay::UpdateRowIcon(const QIcon& rowIcon) {
    if (Current)
        Header->SetRowIcon(rowIcon);
}

// Only the text changes: the header and its nodelist hints stay as they are.
void TMessageDisplay::SetShowKludges(bool on) {
    ShowKludges_ = on;
    if (!Current)
        return;
    FillText();
    Text->verticalScrollBar()->setValue(0);
    Text->moveCursor(QTextCursor::Start);
}

void TMessageDisplay::RightLinkClicked() {
    if (Answers.size() == 1)
        emit FocusRequested(Answers.front());
    else if (Answers.size() > 1)
        Header->RightLinkButton()->showMenu();
}

QMenu* TMessageDisplay::AnswersMenu() const {
    return Answers.size() > 1 ? AnswersMenu_ : nullptr;
}

void TMessageDisplay::UpdateAnswersMenu() {
    QMenu* menu = AnswersMenu();
    QToolButton* button = Header->RightLinkButton();
    button->setMenu(menu);
    button->setPopupMode(menu ? QToolButton::MenuButtonPopup : QToolButton::DelayedPopup);
    emit AnswersMenuChanged(menu);
}

// Rebuilt each time it opens: the answers' read states may have changed meanwhile.
void TMessageDisplay::FillAnswersMenu() {
    AnswersMenu_->clear();
    if (!Base)
        return;
    for (int answer : Answers) {
        QString caption = QString::number(answer + 1);
        try {
            if (TMsgHandle msg = Base->GetMsg(answer))
                caption += QLatin1Char(' ') + ToQt(msg->FromName);
        } catch (const EFileError&) {
        }
        const bool read = Base->IsRead(Base->GetMsgId(answer));
        AnswersMenu_->addAction(TFTNData::Icon(TFTNData::MessageImage(read, false)), caption,
                                [this, answer] { emit FocusRequested(answer); });
    }
    if (!AnswersMenu_->actions().isEmpty())
        AnswersMenu_->setActiveAction(AnswersMenu_->actions().front());
}

} // namespace tavro::app
