#pragma once

#include "reader/MsgList.h"

#include <QAbstractItemModel>
#include <QFont>

#include <functional>
#include <optional>
#include <vector>

namespace tavro::app {

// The message list of the open area as a Qt model: each row is a message position, and
// a row's header is read only when the view first asks for it.
class TMsgListModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TMsgListModel(QObject* parent = nullptr);

    static const QStringList& ColumnTitles();

    // Rebuilds the rows (threads read every header, reporting percent done); throws
    // EFileError like the base. The caller rescans the base first.
    void Fill(TCustomBase* base, const TOwnNames& ownNames, bool threads, const TProgress& progress = {});
    void Clear();

    TMsgList& List() { return List_; }
    TCustomBase* Base() const { return List_.Base(); }
    // The row of a message position; invalid when the list has none.
    QModelIndex IndexOf(int position) const;
    // The message position of a row, -1 for none.
    static int PositionOf(const QModelIndex& index);

    // Marked positions, for the row icons.
    void SetMarked(std::vector<bool> marked);
    bool IsMarked(int position) const;
    // Read marks changed outside the model: icons and bold numbers are drawn again.
    void ReadStateChanged();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // A header could not be read: the area is to be shown as locked.
    void ReadFailed();

private:
    QVariant DisplayText(int position, int column) const;
    QVariant RowIcon(int position) const;
    QVariant RowFont(int position, int column) const;
    std::optional<TMsgRow> SafeRow(int position) const;

    // Rows are filled while the view draws them, behind the const interface.
    mutable TMsgList List_;
    std::vector<bool> Marked;
    mutable bool Failed = false;
};

} // namespace tavro::app
