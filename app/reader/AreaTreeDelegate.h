#pragma once

#include <QStyledItemDelegate>

namespace tavro::app {

// Draws the area tree's nodes at the row height the user's tree font asks for.
class TAreaTreeDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // 0: the style's own height.
    void SetRowHeight(int height) { RowHeight = height; }
    int GetRowHeight() const { return RowHeight; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int RowHeight = 0;
};

} // namespace tavro::app
