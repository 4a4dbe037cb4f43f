#include "HotKeysPage.h"

#include "widgets/QtText.h"
#include "widgets/ShortCutCodes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tavro::app {

namespace {

constexpr int ShortCutRole = Qt::UserRole;
constexpr int TextRole = Qt::UserRole + 1; // the stored bytes, kept exactly unless edited

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_unknown;
}

} // namespace

THotKeyEdit::THotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    SetShortCut(0);
}

void THotKeyEdit::SetShortCut(uint16_t shortCut) {
    ShortCut_ = shortCut;
    setText(shortCut == 0 ? QString() : ShortCutText(shortCut));
}

bool THotKeyEdit::event(QEvent* event) {
    // Keys that are shortcuts elsewhere in the dialog (F2, Del) are recorded here too.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const bool plainTab = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
                          (event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier;
    if (plainTab || IsModifierKey(event->key())) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const uint16_t shortCut = KeyToShortCut(event->keyCombination());
    if (shortCut != 0) {
        SetShortCut(shortCut);
    }
    event->accept();
}

THotKeysPage::THotKeysPage(const std::vector<THotText>& hotTexts, QWidget* parent) : QWidget(parent) {
    List_ = new QTreeWidget(this);
    List_->setObjectName(QStringLiteral("HotKeyList"));
    List_->setHeaderLabels({QStringLiteral("Hot key"), QStringLiteral("Text")});
    List_->setRootIsDecorated(false);
    List_->setUniformRowHeights(true);
    List_->header()->setSectionsClickable(false);
    List_->setColumnWidth(0, 140);
    for (const THotText& hot : hotTexts) {
        AddItem(hot.ShortCut, hot.Text);
    }
    List_->sortItems(0, Qt::AscendingOrder);
    connect(List_, &QTreeWidget::currentItemChanged, this, [this] { LoadSelected(); });

    KeyEdit_ = new THotKeyEdit(this);
    KeyEdit_->setObjectName(QStringLiteral("HotKeyEdit"));
    KeyEdit_->setPlaceholderText(QStringLiteral("Press a key"));
    TextEdit_ = new QLineEdit(this);
    TextEdit_->setObjectName(QStringLiteral("HotTextEdit"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Key:"), KeyEdit_);
    fields->addRow(QStringLiteral("Text:"), TextEdit_);

    auto* setButton = new QPushButton(QStringLiteral("Set hot key (F2)"), this);
    setButton->setObjectName(QStringLiteral("SetHotKey"));
    auto* deleteButton = new QPushButton(QStringLiteral("Delete hot key (Del)"), this);
    deleteButton->setObjectName(QStringLiteral("DeleteHotKey"));
    connect(setButton, &QPushButton::clicked, this, &THotKeysPage::SetHotKey);
    connect(deleteButton, &QPushButton::clicked, this, &THotKeysPage::DeleteHotKey);
    // Text fields keep Del for themselves; the key field records both keys.
    for (const auto& [key, slot] : {std::pair{Qt::Key_F2, &THotKeysPage::SetHotKey},
                                    std::pair{Qt::Key_Delete, &THotKeysPage::DeleteHotKey}}) {
        auto* shortcut =
            new QShortcut(QKeySequence(key), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setButton);
    buttons->addWidget(deleteButton);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List_, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

std::vector<THotText> THotKeysPage::HotTexts() const {
    std::vector<THotText> result;
    for (int i = 0; i < List_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = List_->topLevelItem(i);
        THotText hot;
        hot.ShortCut = static_cast<uint16_t>(item->data(0, ShortCutRole).toUInt());
        hot.Text = item->data(0, TextRole).toByteArray().toStdString();
        result.push_back(std::move(hot));
    }
    return result;
}

void THotKeysPage::SetHotKey() {
    const uint16_t shortCut = KeyEdit_->ShortCut();
    if (shortCut == 0) {
        return;
    }
    const std::string text = FromQt(TextEdit_->text());
    if (QTreeWidgetItem* existing = FindItem(shortCut)) {
        existing->setText(1, ToQt(text));
        existing->setData(0, TextRole, QByteArray::fromStdString(text));
        return;
    }
    QTreeWidgetItem* item = AddItem(shortCut, text);
    List_->sortItems(0, Qt::AscendingOrder);
    List_->setCurrentItem(item);
}

void THotKeysPage::DeleteHotKey() {
    QTreeWidgetItem* item = List_->currentItem();
    if (item == nullptr) {
        return;
    }
    delete List_->takeTopLevelItem(List_->indexOfTopLevelItem(item));
}

QTreeWidgetItem* THotKeysPage::AddItem(uint16_t shortCut, const std::string& text) {
    auto* item = new QTreeWidgetItem(List_, {ShortCutText(shortCut), ToQt(text)});
    item->setData(0, ShortCutRole, static_cast<unsigned>(shortCut));
    item->setData(0, TextRole, QByteArray::fromStdString(text));
    return item;
}

QTreeWidgetItem* THotKeysPage::FindItem(uint16_t shortCut) const {
    for (int i = 0; i < List_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = List_->topLevelItem(i);
        if (item->data(0, ShortCutRole).toUInt() == shortCut) {
            return item;
        }
    }
    return nullptr;
}

void THotKeysPage::LoadSelected() {
    const QTreeWidgetItem* item = List_->currentItem();
    if (item == nullptr) {
        return;
    }
    KeyEdit_->SetShortCut(static_cast<uint16_t>(item->data(0, ShortCutRole).toUInt()));
    TextEdit_->setText(ToQt(item->data(0, TextRole).toByteArray().toStdString()));
}

} // namespace tavro::app
