#include "TaggedText.h"

#include "widgets/QtText.h"
#include "widgets/StyledTextEdit.h"

#include <QTextBlock>
#include <QTextDocument>

namespace tavro::app {

void SetTaggedText(TStyledTextEdit* editor, const TBodyLines& body) {
    QStringList lines;
    std::vector<int> tags;
    lines.reserve(qsizetype(body.size()));
    tags.reserve(body.size());
    for (const TBodyLine& line : body) {
        lines << ToQt(line.Text);
        tags.push_back(line.LineTag);
    }
    editor->ReplaceLines(lines, std::move(tags));
}

void UpdateTaggedText(TStyledTextEdit* editor, const TBodyLines& body) {
    editor->Complete();
    QTextDocument* document = editor->document();
    if (size_t(document->blockCount()) != body.size()) {
        SetTaggedText(editor, body);
        return;
    }
    QTextCursor cursor(document);
    bool editing = false;
    QTextBlock block = document->firstBlock();
    for (const TBodyLine& line : body) {
        const QString text = ToQt(line.Text);
        if (block.text() != text) {
            if (!editing)
                cursor.beginEditBlock();
            editing = true;
            cursor.setPosition(block.position());
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.insertText(text);
        }
        block = block.next();
    }
    if (editing)
        cursor.endEditBlock();
}

TBodyLines TaggedText(TStyledTextEdit* editor) {
    editor->Complete();
    TBodyLines body;
    for (QTextBlock block = editor->document()->firstBlock(); block.isValid(); block = block.next())
        body.emplace_back(FromQt(block.text()), TStyledTextEdit::Tag(block));
    return body;
}

} // namespace tavro::app
