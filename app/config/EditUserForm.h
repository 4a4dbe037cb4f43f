#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <set>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace tavro {
class TConfig;
class TUser;
} // namespace tavro

namespace tavro::app {

class THotKeysPage;
class TUserColorsPage;
class TUserIdSpinBox;

// The user dialog: name and id, template slots, highlighted names, editor options, hot
// texts, colours and fonts of one user. OK checks the name and the id and then writes
// everything back into the user; Cancel leaves it untouched.
class TEditUserForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TEditUserForm)

public:
    // `config` gives the other users (whose ids are taken) and the templates.
    TEditUserForm(TUser& user, const TConfig& config, QWidget* parent = nullptr);

    void accept() override;

private:
    QWidget* BuildUserInfoPage();
    QWidget* BuildTemplatesPage();
    QWidget* BuildHighlightsPage();
    QWidget* BuildEditorPage();
    QWidget* BuildEditorOptions(QWidget* parent);
    QWidget* BuildKeyMapping(QWidget* parent);

    std::set<int> OtherUserIds() const;
    int FreeUserId() const;
    bool CheckInput();
    void StoreUser();

    TUser& User_;
    const TConfig& Config_;
    QTabWidget* Pages_ = nullptr;
    QLineEdit* NameEdit_ = nullptr;
    QLineEdit* RealNameEdit_ = nullptr;
    TUserIdSpinBox* IdSpin_ = nullptr;
    std::array<QComboBox*, 11> TemplateBoxes_{};
    QPlainTextEdit* HighlightEdit_ = nullptr;
    std::array<QCheckBox*, 8> OptionBoxes_{};
    QCheckBox* FormatToViewerBox_ = nullptr;
    QCheckBox* SpellCheckBox_ = nullptr;
    QButtonGroup* KeyMappingGroup_ = nullptr;
    QSpinBox* TabSpin_ = nullptr;
    QSpinBox* IndentSpin_ = nullptr;
    THotKeysPage* HotKeysPage_ = nullptr;
    TUserColorsPage* ColorsPage_ = nullptr;
};

// Opens the user dialog on `user` with the given caption ("Create first user", "Add new
// user", "Edit user info", "Create new user"). True when it closed with OK; the user is then
// updated, otherwise unchanged.
bool EditUser(QWidget* parent, TUser& user, const QString& caption);

} // namespace tavro::app
