#include "MessageDisplay.h"

#include "MainForm.h"
#include "MsgHeaderPanel.h"

#include "widgets/FtnData.h"
#include "widgets/FtnHighlighter.h"
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
#include <QTextEdit>
#include <QToolButton>

namespace tavro::app {

TMessageDisplay::TMessageDisplay(TMsgHeaderPanel* header, QTextEdit* text, QObject* parent)
    : QObject(parent), Header(header), Text(text), Highlighter(new FtnHighlighter(text->document())) {
    Text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(Header->LeftLinkButton(), &QToolButton::clicked, this, [this] {
        if (Parent >= 0)
            emit FocusRequested(Parent);
    });
    connect(Header->RightLinkButton(), &QToolButton::clicked, this, &TMessageDisplay::RightLinkClicked);
    Text->viewport()->installEventFilter(this);
}

bool TMessageDisplay::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == Text->viewport() && Base && Position >= 0 &&
        TextWidth() != ShownWidth) {
        const int scrolled = Text->verticalScrollBar()->value();
        try {
            Show(*Base, Position, RowIcon);
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
        Highlighter->SetUser(*user);
    else
        Highlighter->SetUser(TUser());
}

int TMessageDisplay::TextWidth() const {
    if (!User || !User->FormatToViewer)
        return ViewerWidth;
    const int column = Text->fontMetrics().horizontalAdvance(QLatin1Char('m'));
    return std::max(20, Text->viewport()->width() / std::max(column, 1) - 1);
}

void TMessageDisplay::Show(TCustomBase& base, int position, const QIcon& rowIcon) {
    TMsgHandle msg = base.GetMsg(position);
    if (!msg)
        throw EFileError("the message list changed while it was read", 0);
    const int width = TextWidth();
    const TStringList lines = ViewerLines(*msg, ShowKludges_, width);
    QStringList text;
    text.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines)
        text << ToQt(line);
    const TReplyLinks links = FindReplyLinks(base, *msg);
    const TNodeHints hints =
        BuildNodeHints(NodelistIndex(), msg->FromName, msg->FromAddr, msg->ToName, msg->ToAddr);
    Base = &base;
    Position = position;
    RowIcon = rowIcon;
    Parent = links.Parent;
    Answers = links.Answers;
    ShownWidth = width;
    Text->setPlainText(text.join(QLatin1Char('\n')));
    Text->verticalScrollBar()->setValue(0);
    Text->moveCursor(QTextCursor::Start);
    Header->ShowMessage(*msg, ToQt(MsgNumText(position, base.GetCount())), links, hints, rowIcon);
}

void TMessageDisplay::Clear() {
    Base = nullptr;
    Position = Parent = -1;
    Answers.clear();
    Text->clear();
    Header->Clear();
}

void TMessageDisplay::UpdateRowIcon(const QIcon& rowIcon) {
    RowIcon = rowIcon;
    if (Base && Position >= 0)
        Header->SetRowIcon(rowIcon);
}

void TMessageDisplay::SetShowKludges(bool on) {
    ShowKludges_ = on;
    if (Base && Position >= 0)
        Show(*Base, Position, RowIcon);
}

void TMessageDisplay::RightLinkClicked() {
    if (Answers.size() == 1) {
        emit FocusRequested(Answers.front());
        return;
    }
    if (Answers.size() < 2 || !Base)
        return;
    QMenu menu;
    for (int answer : Answers) {
        QString caption = QString::number(answer + 1);
        try {
            if (TMsgHandle msg = Base->GetMsg(answer))
                caption += QLatin1Char(' ') + ToQt(msg->FromName);
        } catch (const EFileError&) {
        }
        const bool read = Base->IsRead(Base->GetMsgId(answer));
        menu.addAction(TFTNData::Icon(TFTNData::MessageImage(read, false)), caption,
                       [this, answer] { emit FocusRequested(answer); });
    }
    QToolButton* button = Header->RightLinkButton();
    menu.setActiveAction(menu.actions().front());
    menu.exec(button->mapToGlobal(QPoint(0, button->height())));
}

} // namespace tavro::app
