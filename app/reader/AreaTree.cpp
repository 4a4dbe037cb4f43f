#include "AreaTree.h"

#include "AreaTreeDelegate.h"
#include "widgets/FtnData.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"
#include "widgets/UserColors.h"

#include "config/Echo.h"
#include "config/User.h"
#include "core/StrUtils.h"
#include "reader/AreaState.h"

#include <QAction>
#include <QCollator>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>
#include <QSet>

namespace tavro::app {

namespace {

const QString NewFolderName = QStringLiteral("New folder. Rename me...");

constexpr Qt::ItemFlags NodeFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                                    Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;

// Sets a flag for the scope, however it ends.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : Flag(flag), Old(flag) { Flag = true; }
    ~TFlagScope() { Flag = Old; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& Flag;
    bool Old;
};

QList<QTreeWidgetItem*> AllItems(QTreeWidget* tree) {
    QList<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        items << *it;
    return items;
}

} // namespace

int TAreaTree::ImageOf(const TTreeInfo& node, bool expanded, bool selected) {
    if (node.IsFolder())
        return expanded ? iiFolderExpanded : node.AnyNew() ? iiFolderCollapsedNew : iiFolderCollapsed;
    if (node.Locked)
        return iiLockedArea;
    if (selected)
        return iiSelectedArea;
    return node.HasNew ? iiNewArea : iiArea;
}

TTreeInfo* TAreaTree::NodeOf(const QTreeWidgetItem* item) {
    return item ? static_cast<TTreeInfo*>(item->data(0, NodeRole).value<void*>()) : nullptr;
}

TAreaTree::TAreaTree(TAreaTreeView* view, QObject* parent) : QObject(parent), View_(view) {
    BuildMenu();
    connect(View_, &QTreeWidget::currentItemChanged, this, &TAreaTree::CurrentChanged);
    connect(View_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TAreaTree::SelectionChanged);
    connect(View_, &QTreeWidget::itemExpanded, this, &TAreaTree::UpdateLook);
    connect(View_, &QTreeWidget::itemCollapsed, this, &TAreaTree::UpdateLook);
    connect(View_, &QTreeWidget::itemChanged, this, &TAreaTree::Renamed);
    connect(View_, &QTreeWidget::itemDoubleClicked, this, &TAreaTree::EnterOrDoubleClick);
    connect(View_, &TAreaTreeView::EnterKey, this, [this] { EnterOrDoubleClick(View_->currentItem()); });
    connect(View_, &TAreaTreeView::AddFolderKey, this, &TAreaTree::AddFolder);
    connect(View_, &TAreaTreeView::DeleteFolderKey, this, &TAreaTree::DeleteFolder);
    connect(View_, &TAreaTreeView::NodeDropped, this, &TAreaTree::DropFocusedNode);
    connect(View_, &QWidget::customContextMenuRequested, this, &TAreaTree::ShowMenu);
}

TAreaTree::~TAreaTree() = default;

// ---- building ----

void TAreaTree::SetUser(TUser* user) {
    TTreeInfo* old = FocusedNode();
    if (old)
        emit FocusLeaving(old);
    {
        TFlagScope quiet(Quiet);
        User_ = user;
        View_->clear();
        ApplyLook();
        if (User_)
            AddItems(User_->AreaTree, View_->invisibleRootItem());
    }
    Repaint();
    if (old)
        emit NodeFocused(nullptr);
}

void TAreaTree::ApplyLook() {
    if (!User_)
        return;
    const QPalette system = QGuiApplication::palette();
    const TColorPair tree = User_->Colors[ceEchoTree];
    const TColorPair selection = User_->Colors[ceEchoTreeSel];
    const QColor text = ToQColor(tree.Fg, system);
    QPalette look = system;
    look.setColor(QPalette::Text, text);
    look.setColor(QPalette::WindowText, text);
    look.setColor(QPalette::Base, ToQColor(tree.Bg, system));
    View_->setPalette(look);
    View_->SetSelectionColors(ToQColor(selection.Fg, system), system.color(QPalette::HighlightedText),
                              ToQColor(selection.Bg, system), text);
    const QFont font = ToQFont(User_->TreeFont, false);
    View_->setFont(font);
    View_->Delegate()->SetRowHeight(QFontInfo(font).pixelSize() + 7);
}

void TAreaTree::AddItems(std::vector<std::unique_ptr<TTreeInfo>>& list, QTreeWidgetItem* parent) {
    for (const auto& node : list) {
        QTreeWidgetItem* item = MakeItem(node.get());
        parent->addChild(item);
        AddItems(node->Children, item);
    }
}

QTreeWidgetItem* TAreaTree::MakeItem(TTreeInfo* node) {
    auto* item = new QTreeWidgetItem;
    item->setFlags(NodeFlags);
    item->setData(0, NodeRole, QVariant::fromValue(static_cast<void*>(node)));
    item->setText(0, ToQt(node->Name));
    return item;
}

void TAreaTree::Rebuild() {
    TTreeInfo* focus = FocusedNode();
    QSet<const TTreeInfo*> expanded;
    for (QTreeWidgetItem* item : AllItems(View_))
        if (item->isExpanded())
            expanded.insert(NodeOf(item));
    const int scroll = View_->verticalScrollBar()->value();
    {
        TFlagScope quiet(Quiet);
        View_->clear();
        if (User_)
            AddItems(User_->AreaTree, View_->invisibleRootItem());
        for (QTreeWidgetItem* item : AllItems(View_))
            item->setExpanded(expanded.contains(NodeOf(item)));
        View_->doItemsLayout();
        View_->verticalScrollBar()->setValue(scroll);
        if (QTreeWidgetItem* item = ItemOf(focus))
            View_->setCurrentItem(item);
    }
    Repaint();
}

// ---- looks ----

void TAreaTree::UpdateLook(QTreeWidgetItem* item) {
    const TTreeInfo* node = NodeOf(item);
    if (node == nullptr)
        return;
    TFlagScope quiet(Quiet);
    // A folder that lost its last entry may still count as expanded.
    const int image = ImageOf(*node, item->isExpanded() && item->childCount() > 0, item->isSelected());
    if (item->data(0, ImageRole) != QVariant(image)) {
        item->setData(0, ImageRole, image);
        item->setIcon(0, TFTNData::Icon(image));
    }
    const bool bold = node->AnyNew();
    if (item->font(0).bold() != bold) {
        QFont font = View_->font();
        font.setBold(bold);
        item->setFont(0, font);
    }
}

void TAreaTree::UpdateLookUpwards(QTreeWidgetItem* item) {
    for (; item != nullptr; item = item->parent())
        UpdateLook(item);
    View_->viewport()->update();
}

void TAreaTree::Repaint() {
    for (QTreeWidgetItem* item : AllItems(View_))
        UpdateLook(item);
    View_->viewport()->update();
}

// ---- scanning ----

void TAreaTree::RescanAreas() {
    if (!User_)
        return;
    auto finish = [this] {
        emit StatusText(QString());
        Repaint();
    };
    try {
        tavro::RescanAreas(*User_, [this](const TTreeInfo& node) {
            emit StatusText(QStringLiteral("Scaning  ") + ToQt(node.Echo->Name));
        });
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TAreaTree::UpdateAreaNode(TEcho* echo) {
    if (!User_)
        return;
    if (TTreeInfo* node = tavro::UpdateAreaNode(User_->AreaTree, echo, *User_))
        UpdateLookUpwards(ItemOf(node));
}

void TAreaTree::RefreshFocusedArea() {
    TTreeInfo* node = FocusedNode();
    if (!node || node->IsFolder())
        return;
    try {
        if (RefreshAreaNode(*node))
            UpdateLookUpwards(View_->currentItem());
    } catch (const std::exception&) {
        MarkAreaLocked(node);
    }
}

void TAreaTree::MarkAreaLocked(TTreeInfo* node) {
    if (!node || node->Locked)
        return;
    node->Locked = true;
    emit AreaLocked(node);
    UpdateLookUpwards(ItemOf(node));
    emit StatusText(QStringLiteral("\"%1\" echo is locked").arg(ToQt(node->Name)));
}

void TAreaTree::ClearLocked(TTreeInfo* node) {
    if (!node || !node->Locked)
        return;
    node->Locked = false;
    UpdateLookUpwards(ItemOf(node));
}

// ---- focus ----

TTreeInfo* TAreaTree::FocusedNode() const {
    return NodeOf(View_->currentItem());
}

void TAreaTree::FocusFirst() {
    if (QTreeWidgetItem* first = View_->topLevelItem(0))
        View_->setCurrentItem(first);
}

QTreeWidgetItem* TAreaTree::ItemOf(const TTreeInfo* node) const {
    if (node == nullptr)
        return nullptr;
    for (QTreeWidgetItemIterator it(View_); *it; ++it)
        if (NodeOf(*it) == node)
            return *it;
    return nullptr;
}

void TAreaTree::CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (Quiet)
        return;
    if (TTreeInfo* old = NodeOf(previous))
        emit FocusLeaving(old);
    TTreeInfo* node = NodeOf(current);
    // Focusing an area tries it afresh.
    ClearLocked(node);
    emit NodeFocused(node);
}

void TAreaTree::SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    for (const QItemSelection* selection : {&selected, &deselected})
        for (const QModelIndex& index : selection->indexes())
            UpdateLook(View_->itemFromIndex(index));
}

void TAreaTree::EnterOrDoubleClick(const QTreeWidgetItem* item) {
    const TTreeInfo* node = NodeOf(item);
    if (node && !node->IsFolder())
        emit Activated();
}

// ---- commands ----

void TAreaTree::BuildMenu() {
    Menu = new QMenu(View_);
    Menu->setObjectName(QStringLiteral("AreaTreeMenu"));
    auto add = [this](const char* name, const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = Menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        // Shown in the menu; the tree takes the keys themselves while it has the focus.
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add("AddFolderAction", QStringLiteral("Add folder"), QKeySequence(Qt::CTRL | Qt::Key_A),
        [this] { AddFolder(); });
    add("DeleteFolderAction", QStringLiteral("Delete folder"), QKeySequence(Qt::CTRL | Qt::Key_D),
        [this] { DeleteFolder(); });
    Menu->addSeparator();
    add("SortAction", QStringLiteral("Sort"), {}, [this] { SortLevel(false); });
    add("SortFoldersFirstAction", QStringLiteral("Sort (folders first)"), {}, [this] { SortLevel(true); });
    Menu->addSeparator();
    // Opens the area editor once there is one.
    add("PropertiesAction", QStringLiteral("Properties"), {}, [] {});
    UpdateMenu();
}

QAction* TAreaTree::Action(const QString& name) const {
    return Menu->findChild<QAction*>(name);
}

void TAreaTree::UpdateMenu() {
    const TTreeInfo* node = FocusedNode();
    const bool user = User_ != nullptr;
    Action(QStringLiteral("AddFolderAction"))->setEnabled(user);
    Action(QStringLiteral("DeleteFolderAction"))->setEnabled(user && node && node->IsFolder());
    Action(QStringLiteral("SortAction"))->setEnabled(user && node);
    Action(QStringLiteral("SortFoldersFirstAction"))->setEnabled(user && node);
    Action(QStringLiteral("PropertiesAction"))->setEnabled(false);
}

void TAreaTree::ShowMenu(const QPoint& pos) {
    UpdateMenu();
    Menu->popup(View_->viewport()->mapToGlobal(pos));
}

void TAreaTree::AddFolder() {
    if (!User_)
        return;
    TTreeInfo* node = AppendFolder(User_->AreaTree, FromQt(NewFolderName));
    QTreeWidgetItem* item = MakeItem(node);
    {
        TFlagScope quiet(Quiet);
        View_->addTopLevelItem(item);
    }
    UpdateLook(item);
    emit ListsChanged();
    View_->setCurrentItem(item);
    View_->scrollToItem(item);
    View_->editItem(item);
}

void TAreaTree::DeleteFolder() {
    TTreeInfo* node = FocusedNode();
    if (!User_ || !node)
        return;
    if (!node->IsFolder()) {
        MessageDlg(View_, QStringLiteral("Can't delete this echo! Go to \"General setup\" and delete there!"),
                   mtError, mbtOK);
        return;
    }
    if (!node->Children.empty()) {
        MessageDlg(View_, QStringLiteral("Can't delete selected folder! Folder not empty!"), mtError, mbtOK);
        return;
    }
    // The item goes first: the focus moves on while the node still exists.
    QTreeWidgetItem* item = View_->currentItem();
    QTreeWidgetItem* parent = item->parent();
    delete item;
    DeleteEmptyFolder(User_->AreaTree, node);
    UpdateLookUpwards(parent);
    emit ListsChanged();
}

void TAreaTree::SortLevel(bool foldersFirst) {
    TTreeInfo* node = FocusedNode();
    const auto place = User_ ? FindPlace(User_->AreaTree, node) : std::nullopt;
    if (!place)
        return;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    SortEntries(EntriesOf(User_->AreaTree, place->Parent), foldersFirst,
                [&collator](const TTreeInfo& a, const TTreeInfo& b) {
                    return collator.compare(ToQt(a.Name).toCaseFolded(), ToQt(b.Name).toCaseFolded()) < 0;
                });
    Rebuild();
    emit ListsChanged();
}

bool TAreaTree::DropFocusedNode(QTreeWidgetItem* target, TDropMode mode) {
    TTreeInfo* dragged = FocusedNode();
    if (!User_ || !dragged || !MoveNode(User_->AreaTree, dragged, NodeOf(target), mode))
        return false;
    Rebuild();
    emit ListsChanged();
    return true;
}

// Editing ends by setting the item's text; only a text that differs from the node's name
// is a rename.
void TAreaTree::Renamed(QTreeWidgetItem* item) {
    TTreeInfo* node = NodeOf(item);
    if (Quiet || node == nullptr || item->text(0) == ToQt(node->Name))
        return;
    const std::string name = Trim(FromQt(item->text(0)));
    const bool changed = name != node->Name;
    node->Name = name;
    {
        TFlagScope quiet(Quiet);
        item->setText(0, ToQt(node->Name));
    }
    if (changed)
        emit ListsChanged();
}

} // namespace tavro::app
