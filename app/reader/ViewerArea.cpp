#include "ViewerArea.h"

#include "AreaTree.h"
#include "MessageDisplay.h"
#include "MessageView.h"
#include "MsgListModel.h"
#include "MsgListPane.h"
#include "widgets/FtnData.h"
#include "widgets/QtText.h"

#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

namespace tavro::app {

TViewerArea::TViewerArea(TAreaTree* tree, TMsgListPane* list, TMessageDisplay* display, QObject* parent)
    : QObject(parent), Tree(tree), List(list), Display(display), Timer(new QTimer(this)) {
    connect(Tree, &TAreaTree::FocusLeaving, this, [this] { CloseOpenBase(); });
    connect(Tree, &TAreaTree::NodeFocused, this, &TViewerArea::NodeFocused);
    connect(Tree, &TAreaTree::AreaLocked, this, [this](TTreeInfo* node) {
        if (node == Node)
            List->ClearMessageList();
    });
    connect(List, &TMsgListPane::ReadFailed, this, &TViewerArea::MarkLocked);
    connect(List, &TMsgListPane::CurrentChanged, this, &TViewerArea::ShowMessage);
    connect(Display, &TMessageDisplay::FocusRequested, List, &TMsgListPane::FocusMessage);
    List->View()->viewport()->installEventFilter(this);
    connect(Timer, &QTimer::timeout, this, &TViewerArea::UpdateStep);
    Timer->start(UpdateIntervalMs);
}

TCustomBase* TViewerArea::Base() const {
    return Echo ? Echo->Base() : nullptr;
}

void TViewerArea::SetUser(TUser* user) {
    if (user == User_)
        return;
    CloseOpenBase();
    Node = nullptr;
    Echo = nullptr;
    User_ = user;
    Display->SetUser(user);
    List->ClearMessageList();
    Tree->SetUser(user);
    if (user) {
        List->ApplyUserLook(*user);
        Tree->RescanAreas();
        Tree->FocusFirst();
    }
    if (!Node)
        NodeFocused(nullptr);
}

void TViewerArea::CloseOpenBase() {
    if (TCustomBase* base = Base())
        base->Close();
}

void TViewerArea::NodeFocused(TTreeInfo* node) {
    Node = node;
    Echo = nullptr;
    emit CaptionChanged(node ? ToQt(node->Name) : QString(), node != nullptr);
    Marks_.Clear();
    List->Model()->SetMarked({});
    if (!node || node->IsFolder() || !User_) {
        List->ClearMessageList();
        emit CommandsChanged();
        return;
    }
    OpenArea(node);
}

void TViewerArea::OpenArea(TTreeInfo* node) {
    node->Locked = false;
    Echo = node->Echo;
    try {
        TCustomBase* base = Echo->GetBase().Get();
        if (!base)
            throw EFileError("no storage for the area's base type", 0);
        base->SetUser(User_->UserId, User_->Name);
        if (base->IsChanged())
            base->Rescan();
        Refill();
    } catch (const std::exception&) {
        MarkLocked();
    }
    emit CommandsChanged();
}

void TViewerArea::Refill() {
    Filling = true;
    try {
        List->FillMessageList(Base(), *User_, Threads_);
    } catch (...) {
        Filling = false;
        throw;
    }
    Filling = false;
}

void TViewerArea::MarkLocked() {
    if (!Node || Node->IsFolder())
        return;
    List->ClearMessageList();
    Tree->MarkAreaLocked(Node);
    emit CommandsChanged();
}

void TViewerArea::SetThreads(bool on) {
    Threads_ = on;
    if (!Echo || (Node && Node->Locked))
        return;
    try {
        Refill();
    } catch (const std::exception&) {
        MarkLocked();
    }
    emit CommandsChanged();
}

void TViewerArea::KeepCurrent() {
    if (Filling)
        return;
    if (!Echo) {
        if (List->Model()->rowCount() > 0)
            List->ClearMessageList();
        return;
    }
    // A tosser holding the base must not make every paint wait; the update step retries.
    if (Node->Locked)
        return;
    try {
        TCustomBase* base = Base();
        if (base && base->IsChanged()) {
            base->Rescan();
            Refill();
            emit CommandsChanged();
        }
    } catch (const std::exception&) {
        MarkLocked();
    }
}

void TViewerArea::UpdateStep() {
    TCustomBase* base = Base();
    if (!base || !Node)
        return;
    try {
        const TMsgId lastId = base->GetMsgId(base->FindNearest(base->GetLastRead()));
        const int textLine = Display->TextView()->verticalScrollBar()->value();
        bool repaintTree = false;
        if (Node->Locked) {
            base->Invalidate();
            Node->Locked = false;
            repaintTree = true;
        } else if (!base->IsChanged()) {
            return;
        }
        KeepCurrent();
        if (repaintTree && !Node->Locked)
            Tree->Repaint();
        emit CommandsChanged();
        if (Echo && !Node->Locked && base->GetMsgId(base->FindNearest(base->GetLastRead())) == lastId) {
            Display->TextView()->Complete();
            Display->TextView()->verticalScrollBar()->setValue(textLine);
        }
    } catch (const std::exception&) {
    }
}

bool TViewerArea::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == List->View()->viewport())
        KeepCurrent();
    return QObject::eventFilter(watched, event);
}

// Focusing a message moves the last-read pointer both ways, and reading it marks it read.
void TViewerArea::ShowMessage(int position) {
    emit CommandsChanged();
    TCustomBase* base = Base();
    if (position < 0 || !base) {
        Display->Clear();
        return;
    }
    try {
        const TMsgId id = base->GetMsgId(position);
        base->SetLastRead(id);
        if ((!MessagePaneShown || MessagePaneShown()) && !base->IsRead(id)) {
            base->SetRead(id, true);
            ReadStateChanged();
        }
        Display->Show(*base, position, RowIcon(position));
    } catch (const std::exception&) {
        MarkLocked();
    }
}

QIcon TViewerArea::RowIcon(int position) const {
    TCustomBase* base = Base();
    const bool read = base && base->IsRead(base->GetMsgId(position));
    const bool marked = base && Marks_.Contains(static_cast<int32_t>(base->GetMsgId(position)));
    return TFTNData::Icon(TFTNData::MessageImage(read, marked));
}

void TViewerArea::ReadStateChanged() {
    List->Model()->ReadStateChanged();
    // Replies inside open threads are drawn again too.
    List->View()->viewport()->update();
    Tree->RefreshFocusedArea();
}

void TViewerArea::Move(TMove move) {
    TMsgList& list = List->Model()->List();
    if (!list.Base())
        return;
    const TRowOrder order(list);
    std::optional<int> target;
    try {
        target = FindMove(list, order, List->CurrentPosition(), move);
    } catch (const std::exception&) {
        MarkLocked();
        return;
    }
    if (!target)
        return;
    if (*target < 0)
        emit GoToTree();
    else
        List->FocusMessage(*target);
}

void TViewerArea::ChangeMarks(const std::function<void(TSortedList& marks, TCustomBase& base)>& change) {
    TCustomBase* base = Base();
    if (!base)
        return;
    try {
        change(Marks_, *base);
    } catch (const std::exception&) {
        MarkLocked();
        return;
    }
    SyncMarks(*base);
}

void TViewerArea::SyncMarks(TCustomBase& base) {
    std::vector<bool> marked(size_t(base.GetCount()), false);
    for (int p = 0; p < base.GetCount(); ++p)
        marked[size_t(p)] = Marks_.Contains(static_cast<int32_t>(base.GetMsgId(p)));
    List->Model()->SetMarked(std::move(marked));
    List->View()->viewport()->update();
    if (List->CurrentPosition() >= 0)
        Display->UpdateRowIcon(RowIcon(List->CurrentPosition()));
}

void TViewerArea::Reload() {
    TCustomBase* base = Base();
    if (!base || !Node || Node->Locked)
        return;
    try {
        base->Rescan();
        Refill();
        SyncMarks(*base);
    } catch (const std::exception&) {
        MarkLocked();
    }
    emit CommandsChanged();
}

void TViewerArea::ToggleCurrentMark() {
    const int position = List->CurrentPosition();
    if (position >= 0)
        ChangeMarks(
            [&](TSortedList& marks, TCustomBase& base) { ToggleMark(marks, base.GetMsgId(position)); });
}

} // namespace tavro::app
