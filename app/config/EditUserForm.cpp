#include "EditUserForm.h"

#include "HotKeysPage.h"
#include "UserColorsPage.h"

#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"

#include "config/Config.h"
#include "core/StrUtils.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tavro::app {

// Steps over the ids other users have, so the arrows only offer free ones.
class TUserIdSpinBox final : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    void SetTakenIds(std::set<int> ids) { Taken_ = std::move(ids); }

    void stepBy(int steps) override {
        int value = this->value();
        for (int n = 0; n < std::abs(steps); ++n) {
            const int next = NextFree(value, steps > 0 ? 1 : -1);
            if (next < 0) {
                break;
            }
            value = next;
        }
        setValue(value);
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled enabled = StepNone;
        if (NextFree(value(), 1) >= 0) {
            enabled |= StepUpEnabled;
        }
        if (NextFree(value(), -1) >= 0) {
            enabled |= StepDownEnabled;
        }
        return enabled;
    }

private:
    int NextFree(int from, int direction) const {
        for (int id = from + direction; id >= minimum() && id <= maximum(); id += direction) {
            if (Taken_.count(id) == 0) {
                return id;
            }
        }
        return -1;
    }

    std::set<int> Taken_;
};

namespace {

constexpr int MaxUserId = 255;

const std::array<const char*, TemplateKindCount> TemplateCaptions{
    " New",
    " Reply",
    " Quote",
    " Comment",
    " Quote in area",
    " Comment in area",
    " Forward",
    " Import from file",
    " Export to file",
    " Export to printer",
    " Confirmation receipt",
};

struct TOptionBox {
    int Bit;
    const char* Caption;
};
const std::array<TOptionBox, 8> OptionBoxes{{
    {0, "Backspace &unindents"},
    {1, "&Group  undo"},
    {3, "&Force cut and copy enabled"},
    {4, "&Auto indent mode"},
    {5, "S&mart tab"},
    {6, "Find te&xt at cursor"},
    {8, "&Persistent block"},
    {9, "Over&write blocks"},
}};

const std::array<const char*, 4> KeyMappings{"Default keymapping", "IDE classic", "BRIEF emulation",
                                             "Epsilon emulation"};

QString Text(const char* text) {
    return QString::fromLatin1(text);
}

std::string Trimmed(const QString& text) {
    return Trim(FromQt(text));
}

} // namespace

TEditUserForm::TEditUserForm(TUser& user, const TConfig& config, QWidget* parent)
    : QDialog(parent), User_(user), Config_(config) {
    setObjectName(QStringLiteral("EditUserForm"));
    Pages_ = new QTabWidget(this);
    Pages_->setObjectName(QStringLiteral("Pages"));
    Pages_->addTab(BuildUserInfoPage(), QStringLiteral("User info"));
    Pages_->addTab(BuildTemplatesPage(), QStringLiteral("Templates"));
    Pages_->addTab(BuildHighlightsPage(), QStringLiteral("Highlights"));
    Pages_->addTab(BuildEditorPage(), QStringLiteral("Editor"));
    HotKeysPage_ = new THotKeysPage(user.HotTexts, this);
    Pages_->addTab(HotKeysPage_, QStringLiteral("Hotkeys"));
    ColorsPage_ = new TUserColorsPage(user, this);
    Pages_->addTab(ColorsPage_, QStringLiteral("Colors"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TEditUserForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TEditUserForm::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages_);
    layout->addWidget(buttons);
    resize(640, 560);
}

QWidget* TEditUserForm::BuildUserInfoPage() {
    auto* page = new QWidget(this);
    NameEdit_ = new QLineEdit(ToQt(User_.Name), page);
    NameEdit_->setObjectName(QStringLiteral("Name"));
    RealNameEdit_ = new QLineEdit(ToQt(User_.RealName), page);
    RealNameEdit_->setObjectName(QStringLiteral("RealName"));
    IdSpin_ = new TUserIdSpinBox(page);
    IdSpin_->setObjectName(QStringLiteral("UserId"));
    IdSpin_->setRange(0, MaxUserId);
    IdSpin_->SetTakenIds(OtherUserIds());
    IdSpin_->setValue(std::clamp(User_.UserId, 0, MaxUserId));
    if (OtherUserIds().count(IdSpin_->value()) != 0) {
        IdSpin_->setValue(FreeUserId());
    }
    IdSpin_->setMinimumWidth(80);

    auto* form = new QFormLayout(page);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(QStringLiteral(" Name"), NameEdit_);
    form->addRow(QStringLiteral(" Real name"), RealNameEdit_);
    auto* idRow = new QHBoxLayout;
    idRow->addWidget(IdSpin_);
    idRow->addStretch(1);
    form->addRow(QStringLiteral(" Unique ID"), idRow);
    return page;
}

QWidget* TEditUserForm::BuildTemplatesPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    for (size_t kind = 0; kind < TemplateBoxes_.size(); ++kind) {
        auto* box = new QComboBox(page);
        box->setObjectName(QStringLiteral("Template%1").arg(kind));
        box->addItem(QStringLiteral("<No template>"));
        int current = 0;
        for (size_t i = 0; i < Config_.Templates.size(); ++i) {
            box->addItem(ToQt(Config_.Templates[i]->Name));
            if (User_.Templates[kind] != nullptr && Config_.Templates[i].get() == User_.Templates[kind]) {
                current = static_cast<int>(i) + 1;
            }
        }
        box->setCurrentIndex(current);
        TemplateBoxes_[kind] = box;
        form->addRow(Text(TemplateCaptions[kind]), box);
    }
    return page;
}

QWidget* TEditUserForm::BuildHighlightsPage() {
    auto* page = new QWidget(this);
    HighlightEdit_ = new QPlainTextEdit(page);
    HighlightEdit_->setObjectName(QStringLiteral("HighlightNames"));
    QStringList names;
    for (const std::string& name : User_.HighlightNames) {
        names << ToQt(name);
    }
    HighlightEdit_->setPlainText(names.join(QLatin1Char('\n')));
    auto* layout = new QVBoxLayout(page);
    auto* caption = new QLabel(QStringLiteral("Persons highlight"), page);
    caption->setBuddy(HighlightEdit_);
    layout->addWidget(caption);
    layout->addWidget(HighlightEdit_, 1);
    return page;
}

QWidget* TEditUserForm::BuildEditorPage() {
    auto* page = new QWidget(this);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildKeyMapping(page));
    TabSpin_ = new QSpinBox(page);
    TabSpin_->setObjectName(QStringLiteral("SpacesInTab"));
    TabSpin_->setRange(1, 32);
    TabSpin_->setValue(User_.SpacesInTab);
    IndentSpin_ = new QSpinBox(page);
    IndentSpin_->setObjectName(QStringLiteral("BlockIndent"));
    IndentSpin_->setRange(2, 16);
    IndentSpin_->setValue(User_.BlockIndent);
    auto* spins = new QFormLayout;
    spins->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    spins->addRow(QStringLiteral(" Spaces in Tab:"), TabSpin_);
    spins->addRow(QStringLiteral(" Block indent:"), IndentSpin_);
    right->addLayout(spins);
    right->addStretch(1);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(BuildEditorOptions(page), 1);
    layout->addLayout(right, 1);
    return page;
}

QWidget* TEditUserForm::BuildEditorOptions(QWidget* parent) {
    auto* panel = new QWidget(parent);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    for (size_t i = 0; i < OptionBoxes.size(); ++i) {
        OptionBoxes_[i] = new QCheckBox(Text(OptionBoxes[i].Caption), panel);
        OptionBoxes_[i]->setObjectName(QStringLiteral("EditorOption%1").arg(OptionBoxes[i].Bit));
        OptionBoxes_[i]->setChecked((User_.EditorOptions & (1u << OptionBoxes[i].Bit)) != 0);
        column->addWidget(OptionBoxes_[i]);
    }
    FormatToViewerBox_ = new QCheckBox(QStringLiteral("Non orginative format"), panel);
    FormatToViewerBox_->setObjectName(QStringLiteral("FormatToViewer"));
    FormatToViewerBox_->setChecked(User_.FormatToViewer);
    SpellCheckBox_ = new QCheckBox(QStringLiteral("Auto check spell"), panel);
    SpellCheckBox_->setObjectName(QStringLiteral("AutoSpellCheck"));
    SpellCheckBox_->setChecked(User_.AutoSpellCheck);
    column->addWidget(FormatToViewerBox_);
    column->addWidget(SpellCheckBox_);
    column->addStretch(1);
    return panel;
}

QWidget* TEditUserForm::BuildKeyMapping(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral(" Keyboard mapping"), parent);
    auto* column = new QVBoxLayout(box);
    KeyMappingGroup_ = new QButtonGroup(box);
    for (size_t i = 0; i < KeyMappings.size(); ++i) {
        auto* button = new QRadioButton(Text(KeyMappings[i]), box);
        button->setObjectName(QStringLiteral("KeyMapping%1").arg(i));
        KeyMappingGroup_->addButton(button, static_cast<int>(i));
        column->addWidget(button);
    }
    // A value no button stands for (a damaged file) checks none and is kept.
    if (QAbstractButton* current = KeyMappingGroup_->button(User_.KeyMapping)) {
        current->setChecked(true);
    }
    return box;
}

std::set<int> TEditUserForm::OtherUserIds() const {
    std::set<int> ids;
    for (const auto& other : Config_.Users) {
        if (other.get() != &User_) {
            ids.insert(other->UserId);
        }
    }
    return ids;
}

int TEditUserForm::FreeUserId() const {
    // With at most 32 users one of 0..31 is always free; a damaged file may hold more.
    const std::set<int> taken = OtherUserIds();
    for (int id = 0; id <= MaxUserId; ++id) {
        if (taken.count(id) == 0) {
            return id;
        }
    }
    return IdSpin_->value();
}

void TEditUserForm::accept() {
    if (!CheckInput()) {
        return;
    }
    StoreUser();
    QDialog::accept();
}

bool TEditUserForm::CheckInput() {
    if (Trimmed(NameEdit_->text()).empty()) {
        Pages_->setCurrentIndex(0);
        MessageDlg(this, QStringLiteral("User name needed."), mtError, mbtOK);
        NameEdit_->setFocus();
        return false;
    }
    if (OtherUserIds().count(IdSpin_->value()) != 0) {
        Pages_->setCurrentIndex(0);
        MessageDlg(this, QStringLiteral("UserId is not a unique value."), mtError, mbtOK);
        IdSpin_->setValue(FreeUserId());
        IdSpin_->setFocus();
        return false;
    }
    return true;
}

void TEditUserForm::StoreUser() {
    User_.Name = Trimmed(NameEdit_->text());
    User_.RealName = Trimmed(RealNameEdit_->text());
    User_.UserId = IdSpin_->value();
    User_.HighlightNames.clear();
    for (const QString& line : HighlightEdit_->toPlainText().split(QLatin1Char('\n'))) {
        if (std::string name = Trimmed(line); !name.empty()) {
            User_.HighlightNames.push_back(std::move(name));
        }
    }
    User_.HotTexts = HotKeysPage_->HotTexts();
    for (size_t kind = 0; kind < TemplateBoxes_.size(); ++kind) {
        const int index = TemplateBoxes_[kind]->currentIndex();
        User_.Templates[kind] = index > 0 ? Config_.Templates[static_cast<size_t>(index - 1)].get() : nullptr;
    }
    User_.EditorOptions = 0;
    for (size_t i = 0; i < OptionBoxes.size(); ++i) {
        if (OptionBoxes_[i]->isChecked()) {
            User_.EditorOptions |= 1u << OptionBoxes[i].Bit;
        }
    }
    if (KeyMappingGroup_->checkedId() >= 0) {
        User_.KeyMapping = static_cast<uint8_t>(KeyMappingGroup_->checkedId());
    }
    User_.FormatToViewer = FormatToViewerBox_->isChecked();
    User_.SpacesInTab = TabSpin_->value();
    User_.BlockIndent = IndentSpin_->value();
    ColorsPage_->StoreInto(User_);
    User_.AutoSpellCheck = SpellCheckBox_->isChecked();
}

bool EditUser(QWidget* parent, TUser& user, const QString& caption) {
    TEditUserForm form(user, Config(), parent);
    form.setWindowTitle(caption);
    return form.exec() == QDialog::Accepted;
}

} // namespace tavro::app
