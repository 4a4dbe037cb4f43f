#include "ReaderMoves.h"

#include "AreaTree.h"
#include "MessageDisplay.h"
#include "MessageView.h"
#include "MsgHeaderPanel.h"
#include "MsgListModel.h"
#include "MsgListPane.h"
#include "ViewForm.h"
#include "ViewerArea.h"
#include "ViewerPanes.h"

#include "config/User.h"
#include "core/Base.h"
#include "reader/AreaState.h"
#include "reader/MsgNavigation.h"

#include <QAction>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace tavro::app {

TReaderMoves::TReaderMoves(TViewForm* form)
    : QObject(form), Form(form), Keys(new TReaderKeys(
                                     form->Panes()->MsgView(), form->Panes()->List(),
                                     [this](TReaderCommand command) { return Run(command); }, this)) {
    connect(Form->Area(), &TViewerArea::GoToTree, this, &TReaderMoves::GoToTree);
    Form->Panes()->List()->viewport()->installEventFilter(this);
    ConnectActions();
}

bool TReaderMoves::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if ((press || doubleClick) && watched == Form->Panes()->List()->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = Form->Panes()->List()->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && index.isValid() &&
            ListClicked(TMsgListModel::PositionOf(index), index.column(), mouse->modifiers(), doubleClick))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

bool TReaderMoves::ListClicked(int position, int column, Qt::KeyboardModifiers modifiers, bool doubleClick) {
    TMsgListPane* list = Form->ListPane();
    TViewerArea* area = Form->Area();
    if (doubleClick) {
        if (column != mcNumber) {
            GoToText();
            return true;
        }
        area->ChangeMarks([position](TSortedList& marks, TCustomBase& base) {
            ToggleMark(marks, base.GetMsgId(position));
        });
        return true;
    }
    if (modifiers == Qt::ControlModifier) {
        list->FocusMessage(position);
        area->ChangeMarks([position](TSortedList& marks, TCustomBase& base) {
            ToggleMark(marks, base.GetMsgId(position));
        });
        return true;
    }
    if (modifiers == Qt::ShiftModifier) {
        const int from = list->CurrentPosition();
        list->FocusMessage(position);
        TMsgList& rows = list->Model()->List();
        const std::vector<int> range = RowRange(TRowOrder(rows), from, position);
        area->ChangeMarks([&](TSortedList& marks, TCustomBase& base) { AddMarks(marks, base, range); });
        return true;
    }
    return false;
}

void TReaderMoves::OnAction(const char* name, std::function<void()> run) {
    connect(Form->Action(QString::fromLatin1(name)), &QAction::triggered, this, std::move(run));
}

void TReaderMoves::ConnectActions() {
    TViewerArea* area = Form->Area();
    OnAction("PrevMsgAction", [area] { area->Move(TMove::Previous); });
    OnAction("NextMsgAction", [area] { area->Move(TMove::Next); });
    OnAction("NextAreaAction", [this] { NextUnreadArea(); });
    OnAction("LeftLinkAction", [this] { ClickLink(false); });
    OnAction("RightLinkAction", [this] { ClickLink(true); });
    OnAction("MarkAllAction", [area] { area->ChangeMarks(MarkAll); });
    OnAction("UnmarkAllAction",
             [area] { area->ChangeMarks([](TSortedList& marks, TCustomBase&) { marks.Clear(); }); });
    OnAction("InvertMarkAction", [area] { area->ChangeMarks(InvertMarks); });
    OnAction("MarkBeforeAction", [this] { MarkBeside(true); });
    OnAction("MarkAfterAction", [this] { MarkBeside(false); });
    OnAction("MarkThreadAction", [this, area] {
        const int position = Form->ListPane()->CurrentPosition();
        if (position >= 0)
            area->ChangeMarks([position](TSortedList& marks, TCustomBase& base) {
                for (TMsgId id : ThreadIds(base, position))
                    marks.Add(static_cast<int32_t>(id));
            });
    });
    OnAction("MarkThreadReadAction", [this, area] {
        const int position = Form->ListPane()->CurrentPosition();
        TCustomBase* base = Form->ListPane()->Model()->Base();
        if (position < 0 || !base)
            return;
        for (TMsgId id : ThreadIds(*base, position))
            base->SetRead(id, true);
        area->ReadStateChanged();
    });
    OnAction("MarkMsgUnreadAction", [this, area] {
        const int position = Form->ListPane()->CurrentPosition();
        if (TCustomBase* base = Form->ListPane()->Model()->Base(); base && position >= 0) {
            base->SetRead(base->GetMsgId(position), false);
            area->ReadStateChanged();
        }
    });
    OnAction("MarkAllReadAction", [this, area] {
        if (TCustomBase* base = Form->ListPane()->Model()->Base()) {
            for (int p = 0; p < base->GetCount(); ++p)
                base->SetRead(base->GetMsgId(p), true);
            area->ReadStateChanged();
        }
    });
}

bool TReaderMoves::Run(TReaderCommand command) {
    using C = TReaderCommand;
    TViewerArea* area = Form->Area();
    static const std::pair<C, TMove> moves[] = {
        {C::PrevMsg, TMove::Previous},
        {C::NextMsg, TMove::Next},
        {C::PrevUnread, TMove::PreviousUnread},
        {C::NextUnread, TMove::NextUnread},
        {C::PrevThread, TMove::PreviousThread},
        {C::NextThread, TMove::NextThread},
        {C::FirstMsg, TMove::First},
        {C::LastMsg, TMove::Last},
    };
    for (const auto& [key, move] : moves)
        if (key == command) {
            area->Move(move);
            return true;
        }
    switch (command) {
    case C::NextArea:
        return NextUnreadArea();
    case C::PrevChain:
        return ClickLink(false);
    case C::NextChain:
        return ClickLink(true);
    case C::ToTree:
        GoToTree();
        return true;
    case C::ToList:
        GoToList();
        return true;
    case C::ToText:
        GoToText();
        return true;
    case C::ToggleMark:
        area->ToggleCurrentMark();
        return true;
    case C::ToggleMarkAndNext: {
        area->ToggleCurrentMark();
        TMsgList& list = Form->ListPane()->Model()->List();
        if (list.Base()) {
            const std::optional<int> next =
                FindMove(list, TRowOrder(list), Form->ListPane()->CurrentPosition(), TMove::Next);
            // The last row keeps the focus.
            if (next && *next >= 0)
                Form->ListPane()->FocusMessage(*next);
        }
        return true;
    }
    default:
        return false;
    }
}

bool TReaderMoves::ClickLink(bool next) {
    TMsgHeaderPanel* header = Form->Panes()->InfoPanel();
    QToolButton* button = next ? header->RightLinkButton() : header->LeftLinkButton();
    if (!button->isEnabled())
        return false;
    button->click();
    return true;
}

bool TReaderMoves::NextUnreadArea() {
    TUser* user = Form->Area()->User();
    if (!user)
        return false;
    TTreeInfo* next = NextAreaWithNew(user->AreaTree, Form->Area()->OpenNode());
    QTreeWidgetItem* item = Form->AreaTree()->ItemOf(next);
    if (!item)
        return false;
    Form->Panes()->Tree()->setCurrentItem(item);
    GoToText();
    return true;
}

void TReaderMoves::GoToTree() {
    if (Form->FullScreen())
        Form->Panes()->ShowAlone(TViewerPanes::pnTree);
    Form->Panes()->Tree()->setFocus();
}

void TReaderMoves::GoToList() {
    if (Form->FullScreen())
        Form->Panes()->ShowAlone(TViewerPanes::pnList);
    Form->Panes()->List()->setFocus();
}

void TReaderMoves::GoToText() {
    if (Form->FullScreen())
        Form->Panes()->ShowAlone(TViewerPanes::pnMessage);
    Form->Panes()->MsgView()->setFocus();
}

std::vector<int> TReaderMoves::RowsOnDisplay() const {
    std::vector<int> rows;
    QTreeView* view = Form->Panes()->List();
    for (QModelIndex index = view->model()->index(0, 0); index.isValid(); index = view->indexBelow(index))
        rows.push_back(TMsgListModel::PositionOf(index));
    return rows;
}

void TReaderMoves::MarkBeside(bool before) {
    const int current = Form->ListPane()->CurrentPosition();
    if (current < 0)
        return;
    const std::vector<int> rows = RowsOnDisplay();
    const auto at = std::find(rows.begin(), rows.end(), current);
    if (at == rows.end())
        return;
    const std::vector<int> chosen =
        before ? std::vector<int>(rows.begin(), at) : std::vector<int>(at + 1, rows.end());
    Form->Area()->ChangeMarks([&](TSortedList& marks, TCustomBase& base) { AddMarks(marks, base, chosen); });
}

} // namespace tavro::app
