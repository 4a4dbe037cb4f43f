#pragma once

#include "AreaTreeView.h"

#include <QList>
#include <QWidget>

class QFrame;
class QSplitter;
class QTreeView;
class QTreeWidget;

namespace tavro::app {

class TMessageView;
class TMsgHeaderPanel;
class TMsgListModel;

// The three panes of the reader window: the area tree (left), the message list (upper
// right) and the message pane (header and text, lower right), with splitters between them.
// In the big-tree layout the tree takes the whole height; otherwise the message pane takes
// the whole width. Any pane can be shown alone.
class TViewerPanes final : public QWidget {
    Q_OBJECT
public:
    enum TPane { pnTree, pnList, pnMessage };

    static const QList<int>& DesignedColumnWidths();

    explicit TViewerPanes(QWidget* parent = nullptr);

    TAreaTreeView* Tree() const { return VT; }
    QTreeView* List() const { return MT; }
    TMsgListModel* ListModel() const { return Model; }
    TMsgHeaderPanel* InfoPanel() const { return InfoPanel_; }
    TMessageView* MsgView() const { return MsgView_; }

    QList<int> ColumnWidths() const;
    void SetColumnWidths(const QList<int>& widths);

    int LeftPanelWidth() const;
    int TopPanelHeight() const;
    void SetLeftPanelWidth(int width);
    void SetTopPanelHeight(int height);

    bool BigTree() const { return BigTree_; }
    void SetBigTree(bool on);

    // The pane shown alone, or none (-1) when all are shown.
    int AlonePane() const { return Alone; }
    void ShowAlone(int pane);
    // The pane that holds `widget` (usually the focus), pnMessage for anything else.
    int PaneOf(const QWidget* widget) const;

private:
    void BuildTree();
    void BuildList();
    void BuildMessagePane();
    void Arrange();
    void ApplySizes();
    void RememberSizes();
    QWidget* PaneWidget(int pane) const;

    QWidget* LeftPanel = nullptr;
    QWidget* TopPanel = nullptr;
    QWidget* MessagePanel = nullptr;
    TAreaTreeView* VT = nullptr;
    QTreeView* MT = nullptr;
    TMsgListModel* Model = nullptr;
    TMsgHeaderPanel* InfoPanel_ = nullptr;
    TMessageView* MsgView_ = nullptr;
    QSplitter* HSplitter = nullptr; // tree | list, or tree | (list / message)
    QSplitter* VSplitter = nullptr; // (tree | list) / message, or list / message
    bool BigTree_ = false;
    int Alone = -1;
    int LeftWidth = 200;
    int TopHeight = 220;
};

} // namespace tavro::app
