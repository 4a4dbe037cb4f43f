#include "MsgListPane.h"

#include "MsgListModel.h"
#include "widgets/FtnData.h"
#include "widgets/UserColors.h"

#include "config/User.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace tavro::app {

namespace {

// The hourglass for as long as a long step runs.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// Rows a fixed number of pixels taller than the font.
class TRowHeightDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int Height = 0;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (Height > 0)
            size.setHeight(Height);
        return size;
    }
};

} // namespace

TMsgListPane::TMsgListPane(QTreeView* view, TMsgListModel* model, QObject* parent)
    : QObject(parent), View_(view), Model_(model) {
    // Sorting is ours: the view's own would flip the order on a second click, and turning
    // it off would make the header unclickable.
    View_->header()->setSectionsClickable(true);
    View_->header()->setSortIndicatorShown(true);
    // Threads indent the subject: the number and its icon stay in place however deep a
    // reply sits.
    View_->setTreePosition(mcSubj);
    View_->setIndentation(12);
    View_->setItemDelegate(new TRowHeightDelegate(View_));
    connect(View_->header(), &QHeaderView::sectionClicked, this, &TMsgListPane::SortByColumn);
    connect(View_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMsgListPane::CurrentRowChanged);
    connect(Model_, &TMsgListModel::ReadFailed, this, &TMsgListPane::ReadFailed);
    // Expanding a thread shows all of it.
    connect(View_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!View_->signalsBlocked())
            View_->expandRecursively(index);
    });
}

void TMsgListPane::FillMessageList(TCustomBase* base, const TUser& user, bool threads) {
    const int scroll = View_->verticalScrollBar()->value();
    View_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    View_->setRootIsDecorated(false);
    if (!base || base->GetCount() == 0) {
        ClearMessageList();
        return;
    }
    if (threads) {
        TBusyCursor busy;
        if (ShowProgress)
            ShowProgress(-1);
        const TProgress progress = [this](int percent) {
            if (ShowProgress)
                ShowProgress(percent);
        };
        try {
            Model_->Fill(base, TOwnNames(user), true, progress);
        } catch (...) {
            if (HideProgress)
                HideProgress();
            throw;
        }
        View_->setRootIsDecorated(true);
        if (HideProgress)
            HideProgress();
    } else {
        Model_->Fill(base, TOwnNames(user), false);
    }
    View_->verticalScrollBar()->setValue(scroll);
    WidenNumberColumn();
    FocusMessage(base->FindNearest(base->GetLastRead()));
}

// The number beside its icon must stay readable, however narrow the column was made for
// other fonts; it only ever grows.
void TMsgListPane::WidenNumberColumn() {
    const QString widest = QString::number(Model_->List().Count());
    const int needed = TFTNData::ImageSize + View_->fontMetrics().horizontalAdvance(widest) +
                       View_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) * 2 + 12;
    if (View_->header()->sectionSize(mcNumber) < needed)
        View_->header()->resizeSection(mcNumber, needed);
}

void TMsgListPane::ClearMessageList() {
    View_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    Model_->Clear();
    emit CurrentChanged(-1);
}

void TMsgListPane::FocusMessage(int position) {
    const QModelIndex index = Model_->IndexOf(position);
    if (index.isValid() && index == View_->currentIndex())
        return;
    if (!index.isValid()) {
        View_->selectionModel()->clear();
        emit CurrentChanged(-1);
        return;
    }
    // Scrolling to a row opens the threads above it.
    View_->scrollTo(index);
    View_->selectionModel()->setCurrentIndex(index,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TMsgListPane::CurrentPosition() const {
    return TMsgListModel::PositionOf(View_->currentIndex());
}

void TMsgListPane::ScrollCurrentIntoView() {
    if (View_->currentIndex().isValid())
        View_->scrollTo(View_->currentIndex());
}

void TMsgListPane::CurrentRowChanged() {
    emit CurrentChanged(CurrentPosition());
}

// Every click sorts ascending; the row that was current stays current, in the middle.
void TMsgListPane::SortByColumn(int column) {
    if (Model_->List().Count() == 0) {
        View_->header()->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    {
        TBusyCursor busy;
        Model_->sort(column, Qt::AscendingOrder);
    }
    View_->header()->setSortIndicator(column, Qt::AscendingOrder);
    if (View_->currentIndex().isValid())
        View_->scrollTo(View_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void TMsgListPane::ApplyUserLook(const TUser& user) {
    QFont font = ToQFont(user.ListFont, false);
    View_->setFont(font);
    QPalette palette = View_->palette();
    const TColorPair& list = user.Colors[ceMsgList];
    const TColorPair& selected = user.Colors[ceMsgListSel];
    palette.setColor(QPalette::Text, ToQColor(list.Fg));
    palette.setColor(QPalette::Base, ToQColor(list.Bg));
    palette.setColor(QPalette::Active, QPalette::Highlight, ToQColor(selected.Fg));
    palette.setColor(QPalette::Inactive, QPalette::Highlight, ToQColor(selected.Bg));
    // The unfocused selection is a light colour: the text must stay dark on it.
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, ToQColor(list.Fg));
    View_->setPalette(palette);
    const int rowHeight = QFontMetrics(font).height() + 7;
    static_cast<TRowHeightDelegate*>(View_->itemDelegate())->Height = rowHeight;
    View_->doItemsLayout();
}

} // namespace tavro::app
