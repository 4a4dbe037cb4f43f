#include "ReaderKeys.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeView>

namespace tavro::app {

namespace {

using C = TReaderCommand;

// The keypad flag says nothing about which command a key is.
Qt::KeyboardModifiers Plain(Qt::KeyboardModifiers modifiers) {
    return modifiers & ~Qt::KeypadModifier;
}

} // namespace

std::optional<TReaderCommand> TextKeyCommand(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers held = Plain(modifiers);
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (held == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_Left:
            return C::PrevMsg;
        case Qt::Key_Right:
            return C::NextMsg;
        case Qt::Key_Escape:
            return C::ToTree;
        case Qt::Key_L:
            return C::ToList;
        case Qt::Key_Space:
            return C::ToggleMark;
        case Qt::Key_Minus:
            return keypad ? std::optional(C::PrevChain) : std::nullopt;
        case Qt::Key_Plus:
            return keypad ? std::optional(C::NextChain) : std::nullopt;
        default:
            return std::nullopt;
        }
    }
    if (held == Qt::ShiftModifier && key == Qt::Key_Right)
        return C::NextArea;
    if (held == Qt::AltModifier && (key == Qt::Key_Left || key == Qt::Key_Right))
        return key == Qt::Key_Left ? C::PrevUnread : C::NextUnread;
    if (held == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Left:
            return C::PrevChain;
        case Qt::Key_Right:
            return C::NextChain;
        case Qt::Key_Up:
            return C::PrevThread;
        case Qt::Key_Down:
            return C::NextThread;
        case Qt::Key_Home:
            return C::FirstMsg;
        case Qt::Key_End:
            return C::LastMsg;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<TReaderCommand> ListKeyCommand(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers held = Plain(modifiers);
    if (held == Qt::NoModifier && key == Qt::Key_Space)
        return C::ToggleMarkAndNext;
    if (held == Qt::NoModifier && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape))
        return C::ToText;
    if (held == Qt::ControlModifier && (key == Qt::Key_Left || key == Qt::Key_Right))
        return key == Qt::Key_Left ? C::PrevChain : C::NextChain;
    return std::nullopt;
}

TReaderKeys::TReaderKeys(QPlainTextEdit* text, QTreeView* list, std::function<bool(TReaderCommand)> run,
                         QObject* parent)
    : QObject(parent), Text(text), List(list), Run(std::move(run)) {
    Text->installEventFilter(this);
    Text->viewport()->installEventFilter(this);
    List->installEventFilter(this);
}

bool TReaderKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        std::optional<TReaderCommand> command;
        if (watched == Text)
            command = TextKeyCommand(key->key(), key->modifiers());
        else if (watched == List)
            command = ListKeyCommand(key->key(), key->modifiers());
        if (command && Run(*command))
            return true;
    } else if (event->type() == QEvent::MouseButtonPress && watched == Text->viewport()) {
        // The middle button alone reads on.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::MiddleButton && mouse->buttons() == Qt::MiddleButton &&
            mouse->modifiers() == Qt::NoModifier)
            return Run(TReaderCommand::NextMsg);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tavro::app
