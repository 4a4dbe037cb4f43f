#pragma once

#include "text/TextFind.h"

#include <QList>
#include <QString>
#include <QTextCursor>
#include <QTextEdit>

class QPlainTextEdit;
class QTextCharFormat;

namespace tavro::app {

// What the find dialog asks for.
struct TFindRequest {
    QString Text;
    TFindOptions Options;
    bool FromCursor = true;    // origin: the caret rather than the start (or end) of the scope
    bool SelectedOnly = false; // scope: the selection rather than the whole text
};

// The word the caret is in or touches; empty when there is none.
QString WordAtCaret(const QPlainTextEdit& editor);

// One search in a text editor: the first run after the dialog and every "find next" after it.
// A selected-text scope is taken when the search starts and follows later edits of the text.
class TTextSearch {
public:
    explicit TTextSearch(const TFindRequest& request, const TStoredLetters& letters = ActiveStoredLetters());

    const TFindRequest& Request() const { return Request_; }

    // The first search: from the caret or the scope's edge as the origin says. Selects the
    // match; false, leaving the caret alone, when there is none.
    bool Start(QPlainTextEdit& editor);
    // The next match from the caret on, in the request's direction.
    bool Next(QPlainTextEdit& editor);
    // Every match of the scope, for marking them in `format` with setExtraSelections.
    QList<QTextEdit::ExtraSelection> Marks(const QPlainTextEdit& editor, const QTextCharFormat& format) const;

private:
    struct TScope {
        size_t Begin = 0;
        size_t End = 0;
    };
    TScope ScopeIn(const QPlainTextEdit& editor, size_t length) const;
    bool FindFrom(QPlainTextEdit& editor, const QString& text, size_t from, const TScope& scope);

    TFindRequest Request_;
    TTextFind Find;
    // Holds the selected scope as a selection of the document; null for the whole text.
    QTextCursor Scope;
};

} // namespace tavro::app
