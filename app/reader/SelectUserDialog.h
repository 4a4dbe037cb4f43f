#pragma once

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tavro {
class TConfig;
class TUser;
} // namespace tavro

namespace tavro::app {

// Lets the operator pick one of the configuration's users or create a new one.
class TSelectUserForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSelectUserForm)
public:
    TSelectUserForm(TConfig& config, QWidget* parent = nullptr);

    // The user chosen with OK or a double click, or the one just created; null before.
    TUser* ChosenUser() const { return Chosen; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildLayout();
    void ChooseItem(QListWidgetItem* item);
    void CreateUser();
    void SaveConfiguration();

    TConfig& Config_;
    TUser* Chosen = nullptr;
    QListWidget* UserList = nullptr;
    QPushButton* OKBtn = nullptr;
};

// Shows the user selection over `parent`; the chosen user, or null when cancelled or when
// there is no user to choose.
TUser* SelectUser(QWidget* parent);

} // namespace tavro::app
