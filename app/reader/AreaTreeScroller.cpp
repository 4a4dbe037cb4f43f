#include "AreaTreeScroller.h"

#include <QCursor>
#include <QTreeWidget>

namespace tavro::app {

TAreaTreeScroller::TAreaTreeScroller(QTreeWidget* tree) : QObject(tree), Tree(tree) {
    Timer.setInterval(PeriodMs);
    connect(&Timer, &QTimer::timeout, this, [this] { Tick(QCursor::pos()); });
}

void TAreaTreeScroller::Start() {
    if (!Timer.isActive())
        Timer.start();
}

void TAreaTreeScroller::Stop() {
    Timer.stop();
}

void TAreaTreeScroller::Tick(const QPoint& globalPos) {
    QWidget* viewport = Tree->viewport();
    const int y = viewport->mapFromGlobal(globalPos).y();
    QTreeWidgetItem* top = Tree->itemAt(0, 0);
    if (top == nullptr)
        return;
    QTreeWidgetItem* next = nullptr;
    if (y < 0)
        next = Tree->itemAbove(top);
    else if (y >= viewport->height())
        next = Tree->itemBelow(top);
    if (next != nullptr)
        Tree->scrollToItem(next, QAbstractItemView::PositionAtTop);
}

} // namespace tavro::app
