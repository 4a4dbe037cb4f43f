#pragma once

#include "reader/AreaTreeEdit.h"

#include <QColor>
#include <QTreeWidget>

class QDrag;

namespace tavro::app {

class TAreaTreeDelegate;
class TAreaTreeScroller;

// The widget of the reader's area tree: one column, no header, the node being renamed in
// place with F2, and drags that stay inside the tree. What the keys, the drops and the items
// mean is TAreaTree's business; this widget only reports them.
class TAreaTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TAreaTreeView(QWidget* parent = nullptr);
    ~TAreaTreeView() override;

    TAreaTreeDelegate* Delegate() const { return Delegate_; }
    // The selection's colours while the tree has the keyboard focus and while it has not.
    void SetSelectionColors(const QColor& focused, const QColor& focusedText, const QColor& unfocused,
                            const QColor& unfocusedText);
    TAreaTreeScroller* Scroller() const { return Scroller_; }
    bool IsDragging() const { return Dragging; }
    bool IsEditing() const { return state() == EditingState; }

signals:
    void AddFolderKey();
    void DeleteFolderKey();
    void EnterKey();
    // A node of this tree was dropped on `target` (null: empty space).
    void NodeDropped(QTreeWidgetItem* target, tavro::TDropMode mode);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Runs the drag; tests drive the drop themselves.
    virtual Qt::DropAction ExecDrag(QDrag* drag);

private:
    bool AcceptsDrag(const QDropEvent* event) const;
    static bool IsTreeKey(const QKeyEvent* event);
    static TDropMode DropModeOf(DropIndicatorPosition position);
    void ApplySelectionColors();

    TAreaTreeDelegate* Delegate_ = nullptr;
    TAreaTreeScroller* Scroller_ = nullptr;
    // A drag from this tree goes on.
    bool Dragging = false;
    QColor Focused;
    QColor FocusedText;
    QColor Unfocused;
    QColor UnfocusedText;
};

} // namespace tavro::app
