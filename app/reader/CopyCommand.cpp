#include "CopyCommand.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace tavro::app {

namespace {

// The edit box that does the copying for a focused control, if it is one that copies.
QLineEdit* EditOf(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->lineEdit();
    return nullptr;
}

} // namespace

TCopyCommand::TCopyCommand(QWidget* window, QWidget* messageList)
    : QObject(window), Window(window), MessageList(messageList),
      Action_(new QAction(QStringLiteral("&Copy to clipboard"), window)) {
    Action_->setObjectName(QStringLiteral("CopyToClipbrdAction"));
    Action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    const QString hint = QStringLiteral("Place an exact copy of the selected text on the Clipboard");
    Action_->setStatusTip(hint);
    Action_->setToolTip(hint);
    Action_->setEnabled(false);
    window->addAction(Action_);
    connect(Action_, &QAction::triggered, this, &TCopyCommand::Copy);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

void TCopyCommand::FocusChanged(QWidget* now) {
    if (!now || now->window() != Window)
        return;
    // A combo box's edit box holds the focus for it.
    if (auto* combo = qobject_cast<QComboBox*>(now->parentWidget()); combo && combo->lineEdit() == now)
        now = combo;
    if (now == MessageList) {
        Follow(nullptr);
        Action_->setEnabled(false);
    } else if (qobject_cast<QTextEdit*>(now) || qobject_cast<QPlainTextEdit*>(now) || EditOf(now)) {
        Follow(now);
        UpdateState();
    }
}

void TCopyCommand::Follow(QWidget* control) {
    disconnect(Watch);
    Control = control;
    if (auto* text = qobject_cast<QTextEdit*>(control))
        Watch = connect(text, &QTextEdit::selectionChanged, this, &TCopyCommand::UpdateState);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        Watch = connect(plain, &QPlainTextEdit::selectionChanged, this, &TCopyCommand::UpdateState);
    else if (QLineEdit* edit = EditOf(control))
        Watch = connect(edit, &QLineEdit::selectionChanged, this, &TCopyCommand::UpdateState);
}

void TCopyCommand::UpdateState() {
    bool selection = false;
    if (auto* text = qobject_cast<QTextEdit*>(Control.data()))
        selection = text->textCursor().hasSelection();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(Control.data()))
        selection = plain->textCursor().hasSelection();
    else if (QLineEdit* edit = EditOf(Control.data()))
        selection = edit->hasSelectedText();
    Action_->setEnabled(selection);
}

void TCopyCommand::Copy() {
    if (auto* text = qobject_cast<QTextEdit*>(Control.data()))
        text->copy();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(Control.data()))
        plain->copy();
    else if (QLineEdit* edit = EditOf(Control.data()))
        edit->copy();
}

} // namespace tavro::app
