#include "TextSearch.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCharFormat>

#include <string_view>

namespace tavro::app {

namespace {

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

} // namespace

QString WordAtCaret(const QPlainTextEdit& editor) {
    const QTextCursor caret = editor.textCursor();
    const QString line = caret.block().text();
    const std::u16string_view chars = View(line);
    size_t begin = std::min(size_t(caret.positionInBlock()), chars.size());
    size_t end = begin;
    while (begin > 0 && IsWordChar(chars[begin - 1]))
        --begin;
    while (end < chars.size() && IsWordChar(chars[end]))
        ++end;
    return line.mid(qsizetype(begin), qsizetype(end - begin));
}

TTextSearch::TTextSearch(const TFindRequest& request, const TStoredLetters& letters)
    : Request_(request), Find(View(request.Text), request.Options, letters) {}

bool TTextSearch::Start(QPlainTextEdit& editor) {
    const QTextCursor caret = editor.textCursor();
    Scope = Request_.SelectedOnly && caret.hasSelection() ? caret : QTextCursor();
    const QString text = editor.toPlainText();
    const TScope scope = ScopeIn(editor, size_t(text.size()));
    const bool backward = Request_.Options.Backward;
    // The caret always sits on an edge of a selected scope, so there the origin would choose
    // between all of it and nothing: a selected scope is searched whole.
    size_t from = backward ? scope.End : scope.Begin;
    if (Request_.FromCursor && Scope.isNull())
        from = size_t(backward ? caret.selectionStart() : caret.selectionEnd());
    return FindFrom(editor, text, from, scope);
}

bool TTextSearch::Next(QPlainTextEdit& editor) {
    const QTextCursor caret = editor.textCursor();
    const QString text = editor.toPlainText();
    // Past the match selected last, whichever way it was selected.
    const size_t from = size_t(Request_.Options.Backward ? caret.selectionStart() : caret.selectionEnd());
    return FindFrom(editor, text, from, ScopeIn(editor, size_t(text.size())));
}

QList<QTextEdit::ExtraSelection> TTextSearch::Marks(const QPlainTextEdit& editor,
                                                    const QTextCharFormat& format) const {
    const QString text = editor.toPlainText();
    const TScope scope = ScopeIn(editor, size_t(text.size()));
    QList<QTextEdit::ExtraSelection> marks;
    for (const size_t start : Find.All(View(text), scope.Begin, scope.End)) {
        QTextCursor cursor(editor.document());
        cursor.setPosition(int(start));
        cursor.setPosition(int(start + Find.Length()), QTextCursor::KeepAnchor);
        marks.append({cursor, format});
    }
    return marks;
}

// A scope whose document has been replaced since is gone: the whole text counts again.
TTextSearch::TScope TTextSearch::ScopeIn(const QPlainTextEdit& editor, size_t length) const {
    if (Scope.isNull() || Scope.document() != editor.document())
        return {0, length};
    return {std::min(size_t(Scope.selectionStart()), length), std::min(size_t(Scope.selectionEnd()), length)};
}

bool TTextSearch::FindFrom(QPlainTextEdit& editor, const QString& text, size_t from, const TScope& scope) {
    const std::optional<size_t> start = Find.Next(View(text), from, scope.Begin, scope.End);
    if (!start)
        return false;
    // The caret goes to the far side of the match, where the next search goes on.
    const int near = int(*start), far = int(*start + Find.Length());
    const bool backward = Request_.Options.Backward;
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(backward ? far : near);
    cursor.setPosition(backward ? near : far, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    editor.ensureCursorVisible();
    return true;
}

} // namespace tavro::app
