#pragma once

#include "widgets/TextSearch.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace tavro::app {

// "Find text": what to look for and how. The search-text history and the settings of the
// last search are shared by every use for the life of the program.
class TFindDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFindDialog)
public:
    // Starts with the last search's settings and `initialText` (the word at the caret).
    explicit TFindDialog(const QString& initialText, QWidget* parent = nullptr);

    // What was asked for; meaningful after OK.
    TFindRequest Request() const;

    void accept() override;

    // Earlier search texts, most recent first.
    static const QStringList& History();
    // Back to the state at program start: no history, default settings.
    static void ResetShared();

private:
    void BuildLayout();
    void ShowSettings(const TFindRequest& settings);
    void RememberText();

    QComboBox* TextToFind = nullptr;
    QCheckBox* CaseSensitive = nullptr;
    QCheckBox* WholeWords = nullptr;
    QCheckBox* RegularExpression = nullptr;
    QRadioButton* Forward = nullptr;
    QRadioButton* Backward = nullptr;
    QRadioButton* FromCursor = nullptr;
    QRadioButton* EntireScope = nullptr;
    QRadioButton* Global = nullptr;
    QRadioButton* SelectedText = nullptr;
};

} // namespace tavro::app
