#include "AreaTreeView.h"

#include "AreaTreeDelegate.h"
#include "AreaTreeScroller.h"
#include "widgets/FtnData.h"

#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

namespace tavro::app {

namespace {

const QString NodeMimeType = QStringLiteral("application/x-tavro-area-node");

} // namespace

TAreaTreeView::TAreaTreeView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setIconSize(QSize(TFTNData::ImageSize, TFTNData::ImageSize));
    Delegate_ = new TAreaTreeDelegate(this);
    setItemDelegate(Delegate_);
    Scroller_ = new TAreaTreeScroller(this);
}

TAreaTreeView::~TAreaTreeView() = default;

// ---- keys ----

bool TAreaTreeView::IsTreeKey(const QKeyEvent* event) {
    const QKeyCombination key = event->keyCombination();
    return key == QKeyCombination(Qt::ControlModifier, Qt::Key_A) ||
           key == QKeyCombination(Qt::ControlModifier, Qt::Key_D) || key == QKeyCombination(Qt::Key_F2);
}

// The tree's own keys win over the window's commands on the same keys while the tree has
// the focus.
bool TAreaTreeView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && !IsEditing() &&
        IsTreeKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTreeWidget::event(event);
}

void TAreaTreeView::keyPressEvent(QKeyEvent* event) {
    if (!IsEditing()) {
        const QKeyCombination key = event->keyCombination();
        if (key == QKeyCombination(Qt::ControlModifier, Qt::Key_A)) {
            emit AddFolderKey();
            return;
        }
        if (key == QKeyCombination(Qt::ControlModifier, Qt::Key_D)) {
            emit DeleteFolderKey();
            return;
        }
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            emit EnterKey();
            return;
        }
    }
    QTreeWidget::keyPressEvent(event);
}

// ---- selection colours ----

void TAreaTreeView::SetSelectionColors(const QColor& focused, const QColor& focusedText,
                                       const QColor& unfocused, const QColor& unfocusedText) {
    Focused = focused;
    FocusedText = focusedText;
    Unfocused = unfocused;
    UnfocusedText = unfocusedText;
    ApplySelectionColors();
}

// Styles choose the selection colour by whether the window is active; here the tree's own
// focus counts, for the row and its branch lines alike.
void TAreaTreeView::ApplySelectionColors() {
    if (!Focused.isValid())
        return;
    const bool focused = hasFocus();
    QPalette look = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        look.setColor(group, QPalette::Highlight, focused ? Focused : Unfocused);
        look.setColor(group, QPalette::HighlightedText, focused ? FocusedText : UnfocusedText);
    }
    setPalette(look);
}

void TAreaTreeView::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    ApplySelectionColors();
}

void TAreaTreeView::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    ApplySelectionColors();
}

// ---- drag and drop ----

QStringList TAreaTreeView::mimeTypes() const {
    return {NodeMimeType};
}

Qt::DropActions TAreaTreeView::supportedDropActions() const {
    return Qt::MoveAction;
}

bool TAreaTreeView::AcceptsDrag(const QDropEvent* event) const {
    return Dragging && event->mimeData() != nullptr && event->mimeData()->hasFormat(NodeMimeType);
}

// Qt's own drag removes the dragged items after a move; here the drop moves them.
void TAreaTreeView::startDrag(Qt::DropActions) {
    QTreeWidgetItem* item = currentItem();
    if (item == nullptr)
        return;
    auto* mime = new QMimeData;
    mime->setData(NodeMimeType, QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QRect rect = visualItemRect(item);
    if (rect.isValid()) {
        drag->setPixmap(viewport()->grab(rect));
        drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - rect.topLeft());
    }
    Dragging = true;
    ExecDrag(drag);
    Dragging = false;
    Scroller_->Stop();
    setState(NoState);
    viewport()->update();
}

Qt::DropAction TAreaTreeView::ExecDrag(QDrag* drag) {
    return drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void TAreaTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (!AcceptsDrag(event)) {
        event->ignore();
        return;
    }
    QTreeWidget::dragEnterEvent(event);
}

void TAreaTreeView::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptsDrag(event)) {
        event->ignore();
        return;
    }
    QTreeWidget::dragMoveEvent(event);
}

void TAreaTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
    QTreeWidget::dragLeaveEvent(event);
    if (Dragging)
        Scroller_->Start();
}

TDropMode TAreaTreeView::DropModeOf(DropIndicatorPosition position) {
    switch (position) {
    case AboveItem:
        return TDropMode::Above;
    case BelowItem:
        return TDropMode::Below;
    case OnItem:
        return TDropMode::On;
    case OnViewport:
        break;
    }
    return TDropMode::Nowhere;
}

void TAreaTreeView::dropEvent(QDropEvent* event) {
    if (!AcceptsDrag(event)) {
        event->ignore();
        return;
    }
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    // Where the last move put the indicator, as the user saw it.
    const TDropMode mode = DropModeOf(dropIndicatorPosition());
    event->setDropAction(Qt::MoveAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    emit NodeDropped(target, mode);
}

} // namespace tavro::app
