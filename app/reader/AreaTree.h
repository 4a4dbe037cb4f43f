#pragma once

#include "AreaTreeView.h"

#include <QObject>

#include <memory>
#include <vector>

class QMenu;

namespace tavro {
class TEcho;
class TTreeInfo;
class TUser;
} // namespace tavro

namespace tavro::app {

// The reader's area tree: the current user's own arrangement of the areas into folders,
// shown in a TAreaTreeView. Every item stands for one TTreeInfo, and every change made here
// (add, delete, rename, move, sort) is made in the user's lists the same way, so that saving
// the users file keeps it. Opening an area is the window's business: the tree tells when the
// focus moves.
class TAreaTree final : public QObject {
    Q_OBJECT
public:
    // Item data: the node, and the index of the picture it shows.
    enum TRole { NodeRole = Qt::UserRole, ImageRole };

    static int ImageOf(const TTreeInfo& node, bool expanded, bool selected);
    static TTreeInfo* NodeOf(const QTreeWidgetItem* item);

    explicit TAreaTree(TAreaTreeView* view, QObject* parent = nullptr);
    ~TAreaTree() override;

    TAreaTreeView* View() const { return View_; }
    TUser* User() const { return User_; }
    // Rebuilds the nodes from the user's tree with the user's font and colours; null empties
    // the tree. A focused node loses the focus (FocusLeaving, then NodeFocused with null).
    void SetUser(TUser* user);

    // Scans every area for unread mail, telling each in the status text.
    void RescanAreas();
    // Scans the first node of the area again.
    void UpdateAreaNode(TEcho* echo);
    // Asks the focused area's open base whether anything is still unread.
    void RefreshFocusedArea();
    // Opening or reading the area failed: shows the node locked and says so.
    void MarkAreaLocked(TTreeInfo* node);
    void ClearLocked(TTreeInfo* node);
    // Shows every node as its flags are now.
    void Repaint();

    TTreeInfo* FocusedNode() const;
    void FocusFirst();
    QTreeWidgetItem* ItemOf(const TTreeInfo* node) const;

    // The context-menu commands; they do nothing while no user is current.
    void AddFolder();
    void DeleteFolder();
    void SortLevel(bool foldersFirst);
    // Moves the focused node as a drop on `target` (null: empty space) in `mode` does.
    bool DropFocusedNode(QTreeWidgetItem* target, TDropMode mode);

    QMenu* ContextMenu() const { return Menu; }
    // "AddFolderAction", "DeleteFolderAction", "SortAction", "SortFoldersFirstAction",
    // "PropertiesAction".
    QAction* Action(const QString& name) const;
    // Enables the menu's commands for the focused node.
    void UpdateMenu();

signals:
    // The focus left `old` (the window closes its base) ...
    void FocusLeaving(tavro::TTreeInfo* old);
    // ... and came to `node`, null for none (the window opens it).
    void NodeFocused(tavro::TTreeInfo* node);
    // For status panel 2; empty clears it.
    void StatusText(const QString& text);
    // Enter or a double click on an area.
    void Activated();
    // The user's lists changed.
    void ListsChanged();
    void AreaLocked(tavro::TTreeInfo* node);

private:
    void BuildMenu();
    void ShowMenu(const QPoint& pos);
    void ApplyLook();
    void AddItems(std::vector<std::unique_ptr<TTreeInfo>>& list, QTreeWidgetItem* parent);
    static QTreeWidgetItem* MakeItem(TTreeInfo* node);
    // Builds the items again, keeping the focus, the open folders and the scroll position.
    void Rebuild();
    void UpdateLook(QTreeWidgetItem* item);
    void UpdateLookUpwards(QTreeWidgetItem* item);
    void CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void Renamed(QTreeWidgetItem* item);
    void EnterOrDoubleClick(const QTreeWidgetItem* item);

    TAreaTreeView* View_;
    TUser* User_ = nullptr;
    QMenu* Menu = nullptr;
    // Items are being rebuilt or restyled: no focus move or rename is the user's.
    bool Quiet = false;
};

} // namespace tavro::app
