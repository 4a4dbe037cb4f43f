#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

namespace tavro::app {

// "Copy to clipboard": copies the selection of the focused text view, edit box or editable
// combo box. It follows the focus: enabled while such a control holds a selection, disabled
// while the message list has the focus, unchanged for any other control (so it stays usable
// when the focus passes to a button or the toolbar).
class TCopyCommand final : public QObject {
    Q_OBJECT
public:
    TCopyCommand(QWidget* window, QWidget* messageList);

    QAction* Action() const { return Action_; }

private:
    void FocusChanged(QWidget* now);
    void Follow(QWidget* control);
    void UpdateState();
    void Copy();

    QWidget* Window;
    QWidget* MessageList;
    QAction* Action_;
    QPointer<QWidget> Control; // the text control whose selection the state follows
    QMetaObject::Connection Watch;
};

} // namespace tavro::app
