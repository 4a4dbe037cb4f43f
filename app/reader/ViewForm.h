#pragma once

#include <QMainWindow>

namespace tavro {
class TUser;
}

namespace tavro::app {

// The reader window.
class TViewForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TViewForm(QWidget* parent = nullptr);

    TUser* CurrentUser() const { return CurrentUser_; }
    void SetCurrentUser(TUser* user);

private:
    TUser* CurrentUser_ = nullptr;
};

} // namespace tavro::app
