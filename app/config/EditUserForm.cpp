#include "EditUserForm.h"

#include <QDialog>

namespace tavro::app {

bool EditUser(QWidget* parent, TUser&, const QString& caption) {
    // Placeholder until the user dialog exists.
    QDialog dialog(parent);
    dialog.setWindowTitle(caption);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace tavro::app
