#include "ViewForm.h"

namespace tavro::app {

TViewForm::TViewForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tavro Viewer"));
}

void TViewForm::SetCurrentUser(TUser* user) {
    CurrentUser_ = user;
}

} // namespace tavro::app
