#pragma once

#include "config/User.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QFont;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tavro::app {

class FtnHighlighter;

// The "Colors" page of the user dialog: colours, font styles and fonts of the thirteen
// elements, with a sample message that shows the text styles as they are being edited.
class TUserColorsPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TUserColorsPage)

public:
    explicit TUserColorsPage(const TUser& user, QWidget* parent = nullptr);

    // The edited look: colours, styles and the three fonts.
    const TUser& Look() const { return Look_; }
    void StoreInto(TUser& user) const;

    void SelectElement(int element);
    int CurrentElement() const;
    // The chooser's result for the current element.
    void SetElementColor(bool foreground, TColor color);
    void SetElementFont(const QFont& font);

private:
    void BuildControls();
    QWidget* BuildChoosers();
    void ShowElement();
    void ChooseColor(bool foreground);
    void ChooseFont();
    void StyleClicked();
    void UpdatePreview();
    TUserFont& ElementFont(int element);

    TUser Look_;
    QListWidget* Elements_ = nullptr;
    QPushButton* Foreground_ = nullptr;
    QPushButton* Background_ = nullptr;
    std::array<QCheckBox*, 3> StyleBoxes_{};
    QLabel* FontName_ = nullptr;
    QPushButton* FontButton_ = nullptr;
    QPlainTextEdit* Preview_ = nullptr;
    FtnHighlighter* Highlighter_ = nullptr;
};

} // namespace tavro::app
