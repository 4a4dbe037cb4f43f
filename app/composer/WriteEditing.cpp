#include "WriteEditing.h"

#include "WriteCommands.h"

#include "widgets/FindDialog.h"
#include "widgets/QtText.h"
#include "widgets/ShortCutCodes.h"
#include "widgets/StyledTextEdit.h"
#include "widgets/TextSearch.h"
#include "widgets/UserColors.h"

#include "compose/HardWrap.h"
#include "config/User.h"
#include "core/DateTime.h"
#include "core/LocaleFormat.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTextBlock>
#include <QTimer>

namespace tavro::app {

namespace {

constexpr int EditCommandsMs = 250;
constexpr int RightMarginColumn = 78;

QAction* Act(TWriteCommands* commands, const char* name) {
    return commands->Action(QString::fromLatin1(name));
}

} // namespace

TWriteEditing::TWriteEditing(QMainWindow* window, TWriteCommands* commands, TStyledTextEdit* editor,
                             const QList<QWidget*>& fields, const TUser& user)
    : QObject(window), Window(window), Commands(commands), Editor(editor), Fields(fields), User(user),
      EditTimer(new QTimer(this)) {
    Editor->installEventFilter(this);
    for (QWidget* field : Fields)
        field->installEventFilter(this);
    Connect();
    SetTextBorder(true);
    EditTimer->start(EditCommandsMs);
}

TWriteEditing::~TWriteEditing() = default;

void TWriteEditing::Connect() {
    connect(EditTimer, &QTimer::timeout, this, &TWriteEditing::UpdateEditCommands);
    if (QMenu* edit = Commands->Menu(QStringLiteral("&Edit")))
        connect(edit, &QMenu::aboutToShow, this, &TWriteEditing::UpdateEditCommands);
    connect(Act(Commands, "WordWrap1"), &QAction::toggled, this, &TWriteEditing::SetTextBorder);
    connect(Act(Commands, "UndoAction"), &QAction::triggered, Editor, &QPlainTextEdit::undo);
    connect(Act(Commands, "RedoAction"), &QAction::triggered, Editor, &QPlainTextEdit::redo);
    // The clipboard commands work on the header field that has the focus as well.
    struct TClipCommand {
        const char* Name;
        void (*OnLine)(QLineEdit*);
        void (*OnText)(QPlainTextEdit*);
    };
    static const TClipCommand clipCommands[] = {
        {"CutAction", [](QLineEdit* b) { b->cut(); }, [](QPlainTextEdit* e) { e->cut(); }},
        {"CopyAction", [](QLineEdit* b) { b->copy(); }, [](QPlainTextEdit* e) { e->copy(); }},
        {"PasteAction", [](QLineEdit* b) { b->paste(); }, [](QPlainTextEdit* e) { e->paste(); }},
        {"DeleteAction", [](QLineEdit* b) { b->del(); },
         [](QPlainTextEdit* e) { e->textCursor().removeSelectedText(); }},
        {"SelectAllAction", [](QLineEdit* b) { b->selectAll(); }, [](QPlainTextEdit* e) { e->selectAll(); }},
    };
    for (const TClipCommand& command : clipCommands)
        connect(Act(Commands, command.Name), &QAction::triggered, this, [this, &command] {
            if (QLineEdit* box = FocusedLine())
                command.OnLine(box);
            else
                command.OnText(Editor);
        });
    connect(Act(Commands, "FindAction"), &QAction::triggered, this, &TWriteEditing::Find);
    connect(Act(Commands, "FindNextAction"), &QAction::triggered, this, &TWriteEditing::FindNext);
    connect(Act(Commands, "DateStampAction"), &QAction::triggered, this,
            [this] { Editor->insertPlainText(ToQt(FormatShortDate(Now()))); });
    connect(Act(Commands, "TimeStampAction"), &QAction::triggered, this,
            [this] { Editor->insertPlainText(ToQt(FormatLongTime(Now()))); });
}

void TWriteEditing::SetTextBorder(bool on) {
    Editor->SetWrapColumn(on ? RightMarginColumn : 0);
}

// A header field with the focus (the line of an editable list counts); null for the editor.
QLineEdit* TWriteEditing::FocusedLine() const {
    QWidget* focus = QApplication::focusWidget();
    if (auto* box = qobject_cast<QLineEdit*>(focus))
        return box;
    if (auto* list = qobject_cast<QComboBox*>(focus))
        return list->lineEdit();
    return nullptr;
}

void TWriteEditing::UpdateEditCommands() {
    const bool inEditor = Editor->hasFocus();
    QLineEdit* line = inEditor ? nullptr : FocusedLine();
    const QTextDocument* text = Editor->document();
    const bool selection = inEditor ? Editor->textCursor().hasSelection() : line && line->hasSelectedText();
    const bool writable = inEditor ? !Editor->isReadOnly() : line && !line->isReadOnly();
    const bool clipboard = !QApplication::clipboard()->text().isEmpty();
    Act(Commands, "UndoAction")->setEnabled(inEditor && text->isUndoAvailable());
    Act(Commands, "RedoAction")->setEnabled(inEditor && text->isRedoAvailable());
    Act(Commands, "CutAction")->setEnabled(selection && writable);
    Act(Commands, "CopyAction")->setEnabled(selection);
    Act(Commands, "DeleteAction")->setEnabled(selection && writable);
    Act(Commands, "PasteAction")->setEnabled(writable && clipboard);
    Act(Commands, "DateStampAction")->setEnabled(inEditor);
    Act(Commands, "TimeStampAction")->setEnabled(inEditor);
}

bool TWriteEditing::HotTextFor(const QKeyEvent* key, QString& text) const {
    const uint16_t code = KeyToShortCut(key->keyCombination());
    if (code == 0)
        return false;
    for (const THotText& hot : User.HotTexts)
        if (hot.ShortCut == code) {
            text = ToQt(hot.Text);
            return true;
        }
    return false;
}

void TWriteEditing::InsertHotText(QWidget* target, const QString& text) {
    if (target == Editor) {
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        Editor->textCursor().insertText(lines);
        Editor->ensureCursorVisible();
        return;
    }
    QLineEdit* line = qobject_cast<QLineEdit*>(target);
    if (auto* list = qobject_cast<QComboBox*>(target))
        line = list->lineEdit();
    if (line) {
        QString single = text;
        single.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
        line->insert(single.replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
}

// Without the text border, the caret's line is broken at the right margin as the user types.
void TWriteEditing::HardWrapCaretLine() {
    QTextCursor cursor = Editor->textCursor();
    const QTextBlock block = cursor.block();
    const QString line = block.text();
    const auto at = HardWrapBreak(
        std::u16string_view(reinterpret_cast<const char16_t*>(line.utf16()), size_t(line.size())),
        size_t(cursor.positionInBlock()));
    if (!at)
        return;
    cursor.setPosition(block.position() + int(*at));
    cursor.insertBlock();
    cursor.movePosition(QTextCursor::EndOfBlock);
    Editor->setTextCursor(cursor);
}

void TWriteEditing::Find() {
    TFindDialog dialog(WordAtCaret(*Editor), Window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    LastFind = std::make_unique<TTextSearch>(dialog.Request());
    Editor->setFocus();
    Found(LastFind->Start(*Editor));
    QTextCharFormat marked;
    marked.setForeground(ToQColor(User.Colors[ceSelection].Fg));
    marked.setBackground(ToQColor(User.Colors[ceSelection].Bg));
    Editor->setExtraSelections(LastFind->Marks(*Editor, marked));
}

void TWriteEditing::FindNext() {
    if (LastFind)
        Found(LastFind->Next(*Editor));
}

// "Find next" stays while there is something to find.
void TWriteEditing::Found(bool found) {
    Act(Commands, "FindNextAction")->setEnabled(found);
}

bool TWriteEditing::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        QString text;
        if (HotTextFor(static_cast<QKeyEvent*>(event), text)) {
            // A hot text wins over the window's command on the same key.
            event->accept();
            if (type == QEvent::KeyPress)
                InsertHotText(static_cast<QWidget*>(watched), text);
            return true;
        }
    }
    if (watched == Editor && type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
            Editor->setOverwriteMode(!Editor->overwriteMode());
            emit InsertModeChanged();
            return true;
        }
    }
    if (watched == Editor && type == QEvent::KeyRelease && !Act(Commands, "WordWrap1")->isChecked())
        HardWrapCaretLine();
    return QObject::eventFilter(watched, event);
}

} // namespace tavro::app
