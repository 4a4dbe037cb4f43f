#include "SelectUserDialog.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/ConfigSave.h"
#include "config/EditUserForm.h"
#include "config/UsersFile.h"
#include "core/ConfigDir.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tavro::app {

TSelectUserForm::TSelectUserForm(TConfig& config, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), Config_(config) {
    setWindowTitle(QStringLiteral("Select user..."));
    BuildLayout();
    for (const auto& user : Config_.Users)
        UserList->addItem(ToQt(user->Name));

    // Choosing by keyboard counts like a click.
    connect(UserList, &QListWidget::itemSelectionChanged, this,
            [this] { OKBtn->setEnabled(!UserList->selectedItems().isEmpty()); });
    connect(UserList, &QListWidget::itemDoubleClicked, this, &TSelectUserForm::ChooseItem);
}

void TSelectUserForm::BuildLayout() {
    // Without a window frame the dialog draws its own edge.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame"));
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto* title = new QLabel(windowTitle(), frame);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    UserList = new QListWidget(frame);
    UserList->setObjectName(QStringLiteral("UserList"));
    UserList->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* newBtn = new QPushButton(QStringLiteral("New"), frame);
    newBtn->setObjectName(QStringLiteral("NewBtn"));
    newBtn->setAutoDefault(false);
    connect(newBtn, &QPushButton::clicked, this, &TSelectUserForm::CreateUser);
    OKBtn = new QPushButton(QStringLiteral("OK"), frame);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    connect(OKBtn, &QPushButton::clicked, this, &TSelectUserForm::accept);
    auto* cancelBtn = new QPushButton(QStringLiteral("Cancel"), frame);
    cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn->setAutoDefault(false);
    connect(cancelBtn, &QPushButton::clicked, this, &TSelectUserForm::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newBtn);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(cancelBtn);

    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->addWidget(title);
    layout->addWidget(UserList, 1);
    layout->addLayout(buttons);
    resize(300, 280);
}

void TSelectUserForm::accept() {
    if (!Chosen) {
        const int row = UserList->currentRow();
        if (UserList->selectedItems().isEmpty() || row < 0 || row >= static_cast<int>(Config_.Users.size()))
            return;
        Chosen = Config_.Users[static_cast<size_t>(row)].get();
    }
    QDialog::accept();
}

void TSelectUserForm::showEvent(QShowEvent* event) {
    // A window without a frame is not placed by the window manager.
    QRect area;
    if (parentWidget())
        area = parentWidget()->window()->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - rect().center());
    QDialog::showEvent(event);
}

void TSelectUserForm::ChooseItem(QListWidgetItem* item) {
    if (!item)
        return;
    UserList->setCurrentItem(item);
    accept();
}

void TSelectUserForm::CreateUser() {
    std::unique_ptr<TUser> user = Config_.NewUser();
    if (!EditUser(this, *user, QStringLiteral("Create new user")))
        return;
    TUser* created = user.get();
    Config_.Users.push_back(std::move(user));
    // The setup dialog follows here once it exists.
    SaveConfiguration();
    Chosen = created;
    accept();
}

void TSelectUserForm::SaveConfiguration() {
    try {
        std::string dir;
        EnsureConfigDir(dir);
        // The users file too, or a crash before the exit would lose the new user.
        SaveConfigAndUsers(Config_, dir);
    } catch (const std::exception& e) {
        MessageDlg(this, QString::fromStdString(e.what()), mtError, mbtOK);
    }
}

TUser* SelectUser(QWidget* parent) {
    TConfig& config = Config();
    if (config.Users.empty())
        return nullptr;
    TSelectUserForm form(config, parent);
    return form.exec() == QDialog::Accepted ? form.ChosenUser() : nullptr;
}

} // namespace tavro::app
