#pragma once

#include <QObject>

#include <functional>
#include <optional>

class QPlainTextEdit;
class QTreeView;

namespace tavro::app {

// What a pane-specific key of the reader window does.
enum class TReaderCommand {
    PrevMsg,
    NextMsg,
    PrevUnread,
    NextUnread,
    PrevChain,
    NextChain,
    PrevThread,
    NextThread,
    FirstMsg,
    LastMsg,
    ToTree,
    ToList,
    ToText,
    ToggleMark,
    ToggleMarkAndNext,
    NextArea,
};

// The keys of the message text and of the message list; other keys are not theirs.
std::optional<TReaderCommand> TextKeyCommand(int key, Qt::KeyboardModifiers modifiers);
std::optional<TReaderCommand> ListKeyCommand(int key, Qt::KeyboardModifiers modifiers);

// Hands the keys (and the text's middle button) of the two panes to `run`, which answers
// whether it did something; keys it leaves go on to the pane.
class TReaderKeys final : public QObject {
    Q_OBJECT
public:
    TReaderKeys(QPlainTextEdit* text, QTreeView* list, std::function<bool(TReaderCommand)> run,
                QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* Text;
    QTreeView* List;
    std::function<bool(TReaderCommand)> Run;
};

} // namespace tavro::app
