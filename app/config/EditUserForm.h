#pragma once

#include <QString>

class QWidget;

namespace tavro {
class TUser;
}

namespace tavro::app {

// Opens the user dialog on `user` with the given caption ("Create first user", "Add new
// user", "Edit user info", "Create new user"). True when it closed with OK; the user is then
// updated, otherwise unchanged.
bool EditUser(QWidget* parent, TUser& user, const QString& caption);

} // namespace tavro::app
