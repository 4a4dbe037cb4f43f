#include "SelectAreaDialog.h"

#include "widgets/FtnData.h"
#include "widgets/QtText.h"

#include "config/TreeInfo.h"
#include "config/User.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tavro::app {

namespace {

TTreeInfo* NodeOf(const QTreeWidgetItem* item) {
    return item ? static_cast<TTreeInfo*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

} // namespace

TSelectAreaDialog::TSelectAreaDialog(const TUser& user, const TEcho* preselect, QWidget* parent)
    : QDialog(parent), Tree_(new QTreeWidget),
      Buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel)) {
    setWindowTitle(QStringLiteral("Select area:"));
    Tree_->setObjectName(QStringLiteral("AreaTree"));
    Tree_->setHeaderLabel(QStringLiteral(" User accessable areas"));
    Tree_->header()->setSectionsClickable(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tree_);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Tree_, &QTreeWidget::currentItemChanged, this, &TSelectAreaDialog::UpdateLook);
    connect(Tree_, &QTreeWidget::itemExpanded, this, &TSelectAreaDialog::UpdateLook);
    connect(Tree_, &QTreeWidget::itemCollapsed, this, &TSelectAreaDialog::UpdateLook);
    connect(Tree_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (SelectedArea())
            accept();
    });
    AddItems(user.AreaTree, Tree_->invisibleRootItem(), preselect);
    UpdateLook();
    resize(360, 420);
}

void TSelectAreaDialog::AddItems(const std::vector<std::unique_ptr<TTreeInfo>>& list, QTreeWidgetItem* parent,
                                 const TEcho* preselect) {
    for (const auto& node : list) {
        auto* item = new QTreeWidgetItem(parent, {ToQt(node->Name)});
        item->setData(0, Qt::UserRole, QVariant::fromValue<void*>(node.get()));
        AddItems(node->Children, item, preselect);
        if (preselect && node->Echo == preselect && !Tree_->currentItem()) {
            Tree_->setCurrentItem(item);
            Tree_->scrollToItem(item);
        }
    }
}

TEcho* TSelectAreaDialog::SelectedArea() const {
    const TTreeInfo* node = NodeOf(Tree_->currentItem());
    return node && !node->IsFolder() && !node->Locked && node->Echo != Excluded ? node->Echo : nullptr;
}

void TSelectAreaDialog::Exclude(const TEcho* area) {
    Excluded = area;
    UpdateLook();
}

void TSelectAreaDialog::UpdateLook() {
    for (QTreeWidgetItemIterator it(Tree_); *it; ++it) {
        const TTreeInfo* node = NodeOf(*it);
        int image = iiArea;
        if (node->IsFolder())
            image = (*it)->isExpanded() ? iiFolderExpanded : iiFolderCollapsed;
        else if (node->Locked)
            image = iiLockedArea;
        else if (*it == Tree_->currentItem())
            image = iiSelectedArea;
        (*it)->setIcon(0, TFTNData::Icon(image));
    }
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(SelectedArea() != nullptr);
}

TEcho* SelectArea(const TUser& user, const TEcho* preselect, QWidget* parent, const TEcho* excluded) {
    TSelectAreaDialog dialog(user, preselect, parent);
    dialog.Exclude(excluded);
    return dialog.exec() == QDialog::Accepted ? dialog.SelectedArea() : nullptr;
}

} // namespace tavro::app
