#include "MsgListModel.h"

#include "widgets/FtnData.h"
#include "widgets/QtText.h"

#include "core/LocaleFormat.h"

#include <QMetaObject>

namespace tavro::app {

TMsgListModel::TMsgListModel(QObject* parent) : QAbstractItemModel(parent) {}

const QStringList& TMsgListModel::ColumnTitles() {
    static const QStringList titles{QStringLiteral("\u2116"), QStringLiteral("From"), QStringLiteral("To"),
                                    QStringLiteral("Subj"), QStringLiteral("Date")};
    return titles;
}

void TMsgListModel::Fill(TCustomBase* base, const TOwnNames& ownNames, bool threads,
                         const TProgress& progress) {
    beginResetModel();
    Marked.clear();
    Failed = false;
    try {
        List_.Fill(base, ownNames, threads, progress);
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void TMsgListModel::Clear() {
    beginResetModel();
    List_.Clear();
    Marked.clear();
    Failed = false;
    endResetModel();
}

QModelIndex TMsgListModel::IndexOf(int position) const {
    if (position < 0 || position >= List_.Count())
        return {};
    return createIndex(List_.Place(position), 0, quintptr(position) + 1);
}

int TMsgListModel::PositionOf(const QModelIndex& index) {
    return index.isValid() ? int(index.internalId()) - 1 : -1;
}

void TMsgListModel::SetMarked(std::vector<bool> marked) {
    Marked = std::move(marked);
    ReadStateChanged();
}

bool TMsgListModel::IsMarked(int position) const {
    return position >= 0 && size_t(position) < Marked.size() && Marked[position];
}

void TMsgListModel::ReadStateChanged() {
    List_.ReadStateChanged();
    if (List_.Count() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole, Qt::FontRole});
}

QModelIndex TMsgListModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= MsgColumnCount || (parent.isValid() && parent.column() != 0))
        return {};
    const int up = PositionOf(parent);
    if (row < 0 || row >= List_.ChildCount(up))
        return {};
    return createIndex(row, column, quintptr(List_.Child(up, row)) + 1);
}

QModelIndex TMsgListModel::parent(const QModelIndex& child) const {
    const int position = PositionOf(child);
    if (position < 0 || position >= List_.Count())
        return {};
    const int up = List_.Parent(position);
    return up == TMsgList::NoParent ? QModelIndex() : createIndex(List_.Place(up), 0, quintptr(up) + 1);
}

int TMsgListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return List_.ChildCount(PositionOf(parent));
}

int TMsgListModel::columnCount(const QModelIndex&) const {
    return MsgColumnCount;
}

QVariant TMsgListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < MsgColumnCount)
        return ColumnTitles().at(section);
    return QAbstractItemModel::headerData(section, orientation, role);
}

// A row whose header cannot be read stays empty; the area is reported once, after the
// paint, since the view must not be reset while it draws.
std::optional<TMsgRow> TMsgListModel::SafeRow(int position) const {
    if (Failed)
        return std::nullopt;
    try {
        return List_.Row(position);
    } catch (const std::exception&) {
        Failed = true;
        QMetaObject::invokeMethod(const_cast<TMsgListModel*>(this), &TMsgListModel::ReadFailed,
                                  Qt::QueuedConnection);
        return std::nullopt;
    }
}

QVariant TMsgListModel::DisplayText(int position, int column) const {
    if (column == mcNumber)
        return QString::number(position + 1);
    const std::optional<TMsgRow> row = SafeRow(position);
    if (!row)
        return {};
    switch (column) {
    case mcFrom:
        return ToQt(row->From);
    case mcTo:
        return ToQt(row->To);
    case mcSubj:
        return ToQt(row->Subj);
    default:
        return ToQt(FormatShortDate(row->Date));
    }
}

QVariant TMsgListModel::RowIcon(int position) const {
    TCustomBase* base = List_.Base();
    if (!base || position >= base->GetCount())
        return {};
    const bool read = base->IsRead(base->GetMsgId(position));
    return TFTNData::Icon(TFTNData::MessageImage(read, IsMarked(position)));
}

QVariant TMsgListModel::RowFont(int position, int column) const {
    bool bold = false;
    if (column == mcNumber) {
        try {
            bold = List_.ThreadUnread(position);
        } catch (const std::exception&) {
        }
    } else if (column == mcFrom || column == mcTo) {
        const std::optional<TMsgRow> row = SafeRow(position);
        bold = row && (row->Flags & (1u << column));
    }
    if (!bold)
        return {};
    QFont font;
    font.setBold(true);
    return font;
}

QVariant TMsgListModel::data(const QModelIndex& index, int role) const {
    const int position = PositionOf(index);
    if (position < 0 || position >= List_.Count())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(position, index.column());
    case Qt::DecorationRole:
        return index.column() == mcNumber ? RowIcon(position) : QVariant();
    case Qt::FontRole:
        return RowFont(position, index.column());
    default:
        return {};
    }
}

void TMsgListModel::sort(int column, Qt::SortOrder) {
    if (column < 0 || column >= MsgColumnCount || List_.Count() == 0)
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    try {
        List_.Sort(column);
    } catch (const std::exception&) {
        Failed = true;
        QMetaObject::invokeMethod(this, &TMsgListModel::ReadFailed, Qt::QueuedConnection);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const QModelIndex moved = IndexOf(PositionOf(old));
        after.append(moved.isValid() ? moved.siblingAtColumn(old.column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

} // namespace tavro::app
