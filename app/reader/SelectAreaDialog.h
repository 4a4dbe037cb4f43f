#pragma once

#include <QDialog>

class QDialogButtonBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace tavro {
class TEcho;
class TTreeInfo;
class TUser;
} // namespace tavro

namespace tavro::app {

// "Select area:": the user's area tree, of which an area that is not locked can be chosen.
class TSelectAreaDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSelectAreaDialog)
public:
    // `preselect`, when given, is shown and selected as the dialog opens.
    TSelectAreaDialog(const TUser& user, const TEcho* preselect = nullptr, QWidget* parent = nullptr);

    // The area of the selected entry while it may be chosen, else null.
    TEcho* SelectedArea() const;
    QTreeWidget* Tree() const { return Tree_; }
    // An area that may not be chosen (the one messages are copied or moved from).
    void Exclude(const TEcho* area);

private:
    void AddItems(const std::vector<std::unique_ptr<TTreeInfo>>& list, QTreeWidgetItem* parent,
                  const TEcho* preselect);
    void UpdateLook();

    QTreeWidget* Tree_;
    QDialogButtonBox* Buttons;
    const TEcho* Excluded = nullptr;
};

// Runs the dialog; the chosen area, or null on Cancel.
TEcho* SelectArea(const TUser& user, const TEcho* preselect = nullptr, QWidget* parent = nullptr,
                  const TEcho* excluded = nullptr);

} // namespace tavro::app
