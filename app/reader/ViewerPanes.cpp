#include "ViewerPanes.h"

#include "MessageView.h"
#include "MsgHeaderPanel.h"

#include "MsgListModel.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tavro::app {

namespace {

QWidget* MakePanel(const QString& name, QWidget* content) {
    auto* panel = new QWidget;
    panel->setObjectName(name);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(content);
    return panel;
}

QSplitter* MakeSplitter(Qt::Orientation orientation, const QString& name, QWidget* parent) {
    auto* splitter = new QSplitter(orientation, parent);
    splitter->setObjectName(name);
    splitter->setChildrenCollapsible(false);
    return splitter;
}

} // namespace

const QList<int>& TViewerPanes::DesignedColumnWidths() {
    static const QList<int> widths{40, 100, 100, 250, 70};
    return widths;
}

TViewerPanes::TViewerPanes(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ViewerPanes"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    HSplitter = MakeSplitter(Qt::Horizontal, QStringLiteral("HSplitter"), this);
    VSplitter = MakeSplitter(Qt::Vertical, QStringLiteral("VSplitter"), this);
    BuildTree();
    BuildList();
    BuildMessagePane();
    Arrange();
}

void TViewerPanes::BuildTree() {
    VT = new TAreaTreeView;
    VT->setObjectName(QStringLiteral("VT"));
    LeftPanel = MakePanel(QStringLiteral("LeftPanel"), VT);
}

void TViewerPanes::BuildList() {
    MT = new QTreeView;
    MT->setObjectName(QStringLiteral("MT"));
    Model = new TMsgListModel(MT);
    MT->setModel(Model);
    MT->setRootIsDecorated(false);
    MT->setUniformRowHeights(true);
    MT->setAllColumnsShowFocus(true);
    MT->setSelectionBehavior(QAbstractItemView::SelectRows);
    MT->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView* header = MT->header();
    // Saved widths are the user's; a stretched last column would grow them at every save.
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    SetColumnWidths(DesignedColumnWidths());
    TopPanel = MakePanel(QStringLiteral("TopPanel"), MT);
}

// Header and text share one frame, the way mail readers show a message.
void TViewerPanes::BuildMessagePane() {
    InfoPanel_ = new TMsgHeaderPanel;
    auto* rule = new QFrame;
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    MsgView_ = new TMessageView;
    MsgView_->setObjectName(QStringLiteral("MsgView"));
    MsgView_->setFrameShape(QFrame::NoFrame);
    MsgView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("MessagePanel"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(InfoPanel_);
    layout->addWidget(rule);
    layout->addWidget(MsgView_, 1);
    MessagePanel = frame;
}

QList<int> TViewerPanes::ColumnWidths() const {
    QList<int> widths;
    for (int i = 0; i < MT->header()->count(); ++i)
        widths << MT->header()->sectionSize(i);
    return widths;
}

void TViewerPanes::SetColumnWidths(const QList<int>& widths) {
    for (int i = 0; i < widths.size() && i < MT->header()->count(); ++i)
        MT->header()->resizeSection(i, widths[i]);
}

// Splitter sizes are real only while every pane is on screen; otherwise the remembered ones
// count.
int TViewerPanes::LeftPanelWidth() const {
    return Alone < 0 && isVisible() ? HSplitter->sizes().value(0, LeftWidth) : LeftWidth;
}

int TViewerPanes::TopPanelHeight() const {
    return Alone < 0 && isVisible() ? VSplitter->sizes().value(0, TopHeight) : TopHeight;
}

void TViewerPanes::SetLeftPanelWidth(int width) {
    RememberSizes();
    LeftWidth = qMax(width, 1);
    ApplySizes();
}

void TViewerPanes::SetTopPanelHeight(int height) {
    RememberSizes();
    TopHeight = qMax(height, 1);
    ApplySizes();
}

void TViewerPanes::RememberSizes() {
    LeftWidth = LeftPanelWidth();
    TopHeight = TopPanelHeight();
}

// The tree and the list keep their size when the window is resized (stretch 0); so the
// splitters may be given their sizes before the window has any.
void TViewerPanes::ApplySizes() {
    if (Alone >= 0)
        return;
    HSplitter->setSizes({LeftWidth, qMax(1, width() - LeftWidth - HSplitter->handleWidth())});
    VSplitter->setSizes({TopHeight, qMax(1, height() - TopHeight - VSplitter->handleWidth())});
}

void TViewerPanes::SetBigTree(bool on) {
    if (on == BigTree_)
        return;
    RememberSizes();
    BigTree_ = on;
    Arrange();
}

void TViewerPanes::Arrange() {
    HSplitter->setParent(this);
    VSplitter->setParent(this);
    QSplitter* outer = BigTree_ ? HSplitter : VSplitter;
    QSplitter* inner = BigTree_ ? VSplitter : HSplitter;
    if (BigTree_) {
        VSplitter->insertWidget(0, TopPanel);
        VSplitter->insertWidget(1, MessagePanel);
        HSplitter->insertWidget(0, LeftPanel);
        HSplitter->insertWidget(1, VSplitter);
    } else {
        HSplitter->insertWidget(0, LeftPanel);
        HSplitter->insertWidget(1, TopPanel);
        VSplitter->insertWidget(0, HSplitter);
        VSplitter->insertWidget(1, MessagePanel);
    }
    for (QSplitter* splitter : {HSplitter, VSplitter}) {
        splitter->setStretchFactor(0, 0);
        splitter->setStretchFactor(1, 1);
    }
    QLayout* root = layout();
    while (QLayoutItem* item = root->takeAt(0))
        delete item;
    root->addWidget(outer);
    outer->show();
    inner->show();
    ShowAlone(Alone);
}

QWidget* TViewerPanes::PaneWidget(int pane) const {
    switch (pane) {
    case pnTree:
        return LeftPanel;
    case pnList:
        return TopPanel;
    case pnMessage:
        return MessagePanel;
    }
    return nullptr;
}

void TViewerPanes::ShowAlone(int pane) {
    if (pane < pnTree || pane > pnMessage)
        pane = -1;
    if (Alone < 0 && pane >= 0)
        RememberSizes();
    Alone = pane;
    for (int p = pnTree; p <= pnMessage; ++p)
        PaneWidget(p)->setVisible(pane < 0 || pane == p);
    // The inner splitter must go too when both of its panes are hidden.
    if (BigTree_)
        VSplitter->setVisible(pane != pnTree);
    else
        HSplitter->setVisible(pane != pnMessage);
    ApplySizes();
}

int TViewerPanes::PaneOf(const QWidget* widget) const {
    for (int p : {pnTree, pnList}) {
        const QWidget* panel = PaneWidget(p);
        if (widget && (widget == panel || panel->isAncestorOf(widget)))
            return p;
    }
    return pnMessage;
}

} // namespace tavro::app
