#include "FindDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavro::app {

namespace {

QStringList SearchHistory;
// Only the settings are kept; the text comes from the caret or the history.
TFindRequest LastSettings;

template <typename TButton> TButton* AddButton(QLayout* layout, const char* caption, const char* name) {
    auto* button = new TButton(QString::fromUtf8(caption));
    button->setObjectName(QString::fromUtf8(name));
    layout->addWidget(button);
    return button;
}

QGroupBox* Group(const char* title, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromUtf8(title), parent);
    new QVBoxLayout(box);
    return box;
}

} // namespace

TFindDialog::TFindDialog(const QString& initialText, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find text"));
    BuildLayout();
    TextToFind->addItems(SearchHistory);
    // The text shown is not a history entry until OK says so.
    TextToFind->setCurrentIndex(-1);
    TextToFind->setEditText(initialText);
    TextToFind->lineEdit()->selectAll();
    ShowSettings(LastSettings);
}

void TFindDialog::BuildLayout() {
    auto* label = new QLabel(QStringLiteral(" &Text to find:"), this);
    TextToFind = new QComboBox(this);
    TextToFind->setObjectName(QStringLiteral("TextToFind"));
    TextToFind->setEditable(true);
    // The history is kept here, not by the combo box on Enter.
    TextToFind->setInsertPolicy(QComboBox::NoInsert);
    TextToFind->setMinimumContentsLength(30);
    label->setBuddy(TextToFind);

    QGroupBox* options = Group("Options", this);
    CaseSensitive = AddButton<QCheckBox>(options->layout(), "&Case sensitive", "CaseSensitive");
    WholeWords = AddButton<QCheckBox>(options->layout(), "&Whole words only", "WholeWords");
    RegularExpression = AddButton<QCheckBox>(options->layout(), "&Regular expression", "RegularExpression");
    RegularExpression->setEnabled(false);
    QGroupBox* direction = Group("Direction", this);
    Forward = AddButton<QRadioButton>(direction->layout(), "Forwar&d", "Forward");
    Backward = AddButton<QRadioButton>(direction->layout(), "&Backward", "Backward");
    QGroupBox* scope = Group("Scope", this);
    Global = AddButton<QRadioButton>(scope->layout(), "&Global", "Global");
    SelectedText = AddButton<QRadioButton>(scope->layout(), "&Selected text", "SelectedText");
    QGroupBox* origin = Group("Origin", this);
    FromCursor = AddButton<QRadioButton>(origin->layout(), "&From cursor", "FromCursor");
    EntireScope = AddButton<QRadioButton>(origin->layout(), "&Entire scope", "EntireScope");

    auto* okBtn = new QPushButton(QStringLiteral("OK"), this);
    okBtn->setObjectName(QStringLiteral("OKBtn"));
    okBtn->setDefault(true);
    connect(okBtn, &QPushButton::clicked, this, &TFindDialog::accept);
    auto* cancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn->setAutoDefault(false);
    connect(cancelBtn, &QPushButton::clicked, this, &TFindDialog::reject);

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(label);
    textRow->addWidget(TextToFind, 1);
    auto* groups = new QGridLayout;
    groups->addWidget(options, 0, 0);
    groups->addWidget(direction, 0, 1);
    groups->addWidget(scope, 1, 0);
    groups->addWidget(origin, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(textRow);
    layout->addLayout(groups);
    layout->addLayout(buttons);
}

void TFindDialog::ShowSettings(const TFindRequest& settings) {
    CaseSensitive->setChecked(settings.Options.CaseSensitive);
    WholeWords->setChecked(settings.Options.WholeWords);
    (settings.Options.Backward ? Backward : Forward)->setChecked(true);
    (settings.FromCursor ? FromCursor : EntireScope)->setChecked(true);
    (settings.SelectedOnly ? SelectedText : Global)->setChecked(true);
}

TFindRequest TFindDialog::Request() const {
    TFindRequest request;
    request.Text = TextToFind->currentText();
    request.Options.CaseSensitive = CaseSensitive->isChecked();
    request.Options.WholeWords = WholeWords->isChecked();
    request.Options.Backward = Backward->isChecked();
    request.FromCursor = FromCursor->isChecked();
    request.SelectedOnly = SelectedText->isChecked();
    return request;
}

void TFindDialog::accept() {
    RememberText();
    LastSettings = Request();
    LastSettings.Text.clear();
    QDialog::accept();
}

// A text picked from the list keeps its place; a typed one goes to the top, once.
void TFindDialog::RememberText() {
    const QString text = TextToFind->currentText();
    const int picked = TextToFind->currentIndex();
    if (text.isEmpty() || (picked >= 0 && TextToFind->itemText(picked) == text))
        return;
    SearchHistory.removeAll(text);
    SearchHistory.prepend(text);
}

const QStringList& TFindDialog::History() {
    return SearchHistory;
}

void TFindDialog::ResetShared() {
    SearchHistory.clear();
    LastSettings = {};
}

} // namespace tavro::app
