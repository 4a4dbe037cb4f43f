#pragma once

#include "config/User.h"

#include <QLineEdit>
#include <QWidget>

#include <cstdint>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace tavro::app {

// Records one key combination (with Shift, Ctrl, Alt) in the stored hot key form.
class THotKeyEdit final : public QLineEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(THotKeyEdit)

public:
    explicit THotKeyEdit(QWidget* parent = nullptr);
    uint16_t ShortCut() const { return ShortCut_; }
    void SetShortCut(uint16_t shortCut);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    uint16_t ShortCut_ = 0;
};

// The "Hotkeys" page of the user dialog: the user's hot texts sorted by key.
class THotKeysPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(THotKeysPage)

public:
    explicit THotKeysPage(const std::vector<THotText>& hotTexts, QWidget* parent = nullptr);

    // The entries in list order.
    std::vector<THotText> HotTexts() const;

    // "Set hot key (F2)": replaces the text of the entry with the key in the field, or adds
    // and selects a new entry.
    void SetHotKey();
    // "Delete hot key (Del)": removes the selected entry.
    void DeleteHotKey();

private:
    QTreeWidgetItem* AddItem(uint16_t shortCut, const std::string& text);
    QTreeWidgetItem* FindItem(uint16_t shortCut) const;
    void LoadSelected();

    QTreeWidget* List_ = nullptr;
    THotKeyEdit* KeyEdit_ = nullptr;
    QLineEdit* TextEdit_ = nullptr;
};

} // namespace tavro::app
