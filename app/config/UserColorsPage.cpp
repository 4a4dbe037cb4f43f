#include "UserColorsPage.h"

#include "widgets/EditorSettings.h"
#include "widgets/FtnHighlighter.h"
#include "widgets/UserColors.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tavro::app {

namespace {

const char* const ElementCaptions[ColorElementCount] = {
    "Plain text",
    "Address (e-mail,www,ftp,fido)",
    "First quote",
    "Second quote",
    "Third quote",
    "Forth quote",
    "Kludges and tech info",
    "Tearline and origin",
    "Selected block",
    "Echos tree",
    "Messages list",
    "Echos tree selection",
    "Messages list selection",
};

// One line of each kind the classifier tells apart; the line after the quotes shows the
// selection colours.
const char SampleText[] = "\x01MSGID: 2:5020/1042.7 5f3a9c21\n"
                          "Hello, All!\n"
                          "\n"
                          "Plain message text is shown like this.\n"
                          " JD> A first level quote,\n"
                          " JD>> a second level quote,\n"
                          " JD>>> a third level quote\n"
                          " JD>>>> and a fourth one.\n"
                          "This line stands for a selected block.\n"
                          "Links: 2:5020/1042.7, 1:23/45@fidonet and http://www.example.org/\n"
                          "--- Tavro\n"
                          " * Origin: Where sample messages come from (2:5020/1042.7)";
constexpr int SelectedSampleLine = 8;
constexpr int MaxPreviewHeight = 360;

constexpr uint8_t EditableStyles = fsBold | fsItalic | fsUnderline;
constexpr std::array<uint8_t, 3> StyleBits{fsBold, fsItalic, fsUnderline};
constexpr std::array<const char*, 3> StyleCaptions{"Bold", "Italic", "Underline"};
constexpr std::array<const char*, 3> StyleNames{"BoldBox", "ItalicBox", "UnderlineBox"};

bool IsTextElement(int element) {
    return element <= ceSelection;
}

QIcon Swatch(const QColor& color) {
    QPixmap pixmap(28, 14);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

void CopyLook(const TUser& from, TUser& to) {
    to.Colors = from.Colors;
    to.Styles = from.Styles;
    to.TextFont = from.TextFont;
    to.TreeFont = from.TreeFont;
    to.ListFont = from.ListFont;
}

} // namespace

TUserColorsPage::TUserColorsPage(const TUser& user, QWidget* parent) : QWidget(parent) {
    CopyLook(user, Look_);
    Look_.EditorOptions = user.EditorOptions;
    Look_.SpacesInTab = user.SpacesInTab;
    Look_.BlockIndent = user.BlockIndent;
    Look_.KeyMapping = user.KeyMapping;
    BuildControls();
    UpdatePreview();
    SelectElement(ceText);
}

void TUserColorsPage::BuildControls() {
    Elements_ = new QListWidget(this);
    Elements_->setObjectName(QStringLiteral("ColorElements"));
    for (const char* caption : ElementCaptions) {
        Elements_->addItem(QString::fromLatin1(caption));
    }
    Elements_->setMinimumWidth(Elements_->sizeHintForColumn(0) + 2 * Elements_->frameWidth() + 8);
    connect(Elements_, &QListWidget::currentRowChanged, this, [this] { ShowElement(); });

    Preview_ = new QPlainTextEdit(this);
    Preview_->setObjectName(QStringLiteral("Preview"));
    Preview_->setReadOnly(true);
    Preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    Preview_->setPlainText(QString::fromLatin1(SampleText));
    Highlighter_ = new FtnHighlighter(Preview_->document());

    auto* top = new QHBoxLayout;
    top->addWidget(Elements_, 1);
    top->addWidget(BuildChoosers());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Preview_, 1);
}

QWidget* TUserColorsPage::BuildChoosers() {
    auto* panel = new QWidget(this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    Foreground_ = new QPushButton(QStringLiteral("Foreground"), panel);
    Foreground_->setObjectName(QStringLiteral("Foreground"));
    Background_ = new QPushButton(QStringLiteral("Background"), panel);
    Background_->setObjectName(QStringLiteral("Background"));
    connect(Foreground_, &QPushButton::clicked, this, [this] { ChooseColor(true); });
    connect(Background_, &QPushButton::clicked, this, [this] { ChooseColor(false); });
    column->addWidget(Foreground_);
    column->addWidget(Background_);

    auto* styleBox = new QGroupBox(QStringLiteral(" Style"), panel);
    auto* styles = new QVBoxLayout(styleBox);
    for (size_t i = 0; i < StyleBoxes_.size(); ++i) {
        StyleBoxes_[i] = new QCheckBox(QString::fromLatin1(StyleCaptions[i]), styleBox);
        StyleBoxes_[i]->setObjectName(QString::fromLatin1(StyleNames[i]));
        connect(StyleBoxes_[i], &QCheckBox::clicked, this, [this] { StyleClicked(); });
        styles->addWidget(StyleBoxes_[i]);
    }
    column->addWidget(styleBox);

    auto* fontBox = new QGroupBox(QStringLiteral(" Font"), panel);
    auto* fonts = new QVBoxLayout(fontBox);
    FontName_ = new QLabel(fontBox);
    FontName_->setObjectName(QStringLiteral("FontName"));
    FontButton_ = new QPushButton(QStringLiteral("Change..."), fontBox);
    FontButton_->setObjectName(QStringLiteral("FontButton"));
    connect(FontButton_, &QPushButton::clicked, this, [this] { ChooseFont(); });
    fonts->addWidget(FontName_);
    fonts->addWidget(FontButton_, 0, Qt::AlignLeft);
    column->addWidget(fontBox);
    column->addStretch(1);
    return panel;
}

void TUserColorsPage::StoreInto(TUser& user) const {
    user.Colors = Look_.Colors;
    for (int i = 0; i <= ceTearOrigin; ++i) {
        user.Styles[static_cast<size_t>(i)] = Look_.Styles[static_cast<size_t>(i)];
    }
    user.TextFont = Look_.TextFont;
    user.TreeFont = Look_.TreeFont;
    user.ListFont = Look_.ListFont;
}

void TUserColorsPage::SelectElement(int element) {
    Elements_->setCurrentRow(element);
}

int TUserColorsPage::CurrentElement() const {
    return std::max(Elements_->currentRow(), 0);
}

void TUserColorsPage::SetElementColor(bool foreground, TColor color) {
    TColorPair& pair = Look_.Colors[static_cast<size_t>(CurrentElement())];
    (foreground ? pair.Fg : pair.Bg) = color;
    ShowElement();
    UpdatePreview();
}

void TUserColorsPage::SetElementFont(const QFont& font) {
    TUserFont& target = ElementFont(CurrentElement());
    target = FromQFont(font, target);
    ShowElement();
    UpdatePreview();
}

TUserFont& TUserColorsPage::ElementFont(int element) {
    if (IsTextElement(element)) {
        return Look_.TextFont;
    }
    return element == ceEchoTree || element == ceEchoTreeSel ? Look_.TreeFont : Look_.ListFont;
}

void TUserColorsPage::ShowElement() {
    const int element = CurrentElement();
    const TColorPair& pair = Look_.Colors[static_cast<size_t>(element)];
    Foreground_->setIcon(Swatch(ToQColor(pair.Fg)));
    Background_->setIcon(Swatch(ToQColor(pair.Bg)));
    const bool styled = element <= ceTearOrigin;
    const uint8_t style = styled ? Look_.Styles[static_cast<size_t>(element)] : 0;
    for (size_t i = 0; i < StyleBoxes_.size(); ++i) {
        StyleBoxes_[i]->setEnabled(styled);
        StyleBoxes_[i]->setChecked((style & StyleBits[i]) != 0);
    }
    const QFont font = ToQFont(ElementFont(element), IsTextElement(element));
    // The family actually drawn: a missing or generic name resolves to an installed one.
    const QFontInfo shown(font);
    FontName_->setText(QStringLiteral("%1, %2").arg(shown.family()).arg(shown.pointSize()));
}

void TUserColorsPage::ChooseColor(bool foreground) {
    const TColorPair& pair = Look_.Colors[static_cast<size_t>(CurrentElement())];
    const QColor color =
        QColorDialog::getColor(ToQColor(foreground ? pair.Fg : pair.Bg), this,
                               foreground ? QStringLiteral("Foreground") : QStringLiteral("Background"));
    if (color.isValid()) {
        SetElementColor(foreground, FromQColor(color));
    }
}

void TUserColorsPage::ChooseFont() {
    const int element = CurrentElement();
    const QFontDialog::FontDialogOptions options =
        IsTextElement(element) ? QFontDialog::MonospacedFonts : QFontDialog::FontDialogOptions();
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, ToQFont(ElementFont(element), IsTextElement(element)), this,
                                            QStringLiteral("Font"), options);
    if (ok) {
        SetElementFont(font);
    }
}

void TUserColorsPage::StyleClicked() {
    const int element = CurrentElement();
    if (element > ceTearOrigin) {
        return;
    }
    uint8_t& style = Look_.Styles[static_cast<size_t>(element)];
    style &= static_cast<uint8_t>(~EditableStyles);
    for (size_t i = 0; i < StyleBoxes_.size(); ++i) {
        if (StyleBoxes_[i]->isChecked()) {
            style |= StyleBits[i];
        }
    }
    UpdatePreview();
}

void TUserColorsPage::UpdatePreview() {
    ApplyEditorSettings(Preview_, Highlighter_, Look_);
    QTextEdit::ExtraSelection selected;
    selected.cursor = QTextCursor(Preview_->document()->findBlockByNumber(SelectedSampleLine));
    selected.cursor.select(QTextCursor::LineUnderCursor);
    selected.format.setForeground(ToQColor(Look_.Colors[ceSelection].Fg));
    selected.format.setBackground(ToQColor(Look_.Colors[ceSelection].Bg));
    Preview_->setExtraSelections({selected});
    // The whole sample stays in view, within reason for large fonts.
    qreal height = 2 * (Preview_->frameWidth() + Preview_->document()->documentMargin()) + 2;
    for (QTextBlock block = Preview_->document()->begin(); block.isValid(); block = block.next()) {
        height += Preview_->document()->documentLayout()->blockBoundingRect(block).height();
    }
    Preview_->setMinimumHeight(std::min(static_cast<int>(std::ceil(height)), MaxPreviewHeight));
}

} // namespace tavro::app
