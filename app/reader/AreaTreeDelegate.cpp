#include "AreaTreeDelegate.h"

namespace tavro::app {

QSize TAreaTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (RowHeight > 0)
        size.setHeight(RowHeight);
    return size;
}

} // namespace tavro::app
