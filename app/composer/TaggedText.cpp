#include "TaggedText.h"

#include "widgets/QtText.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBlockUserData>

namespace tavro::app {

namespace {

class TLineTag final : public QTextBlockUserData {
public:
    explicit TLineTag(int tag) : Tag(tag) {}
    int Tag;
};

} // namespace

void SetTaggedText(QPlainTextEdit* editor, const TBodyLines& body) {
    QStringList lines;
    lines.reserve(qsizetype(body.size()));
    for (const TBodyLine& line : body)
        lines << ToQt(line.Text);
    editor->setPlainText(lines.join(QLatin1Char('\n')));
    QTextBlock block = editor->document()->firstBlock();
    for (const TBodyLine& line : body) {
        if (!block.isValid())
            break;
        if (line.LineTag != 0)
            block.setUserData(new TLineTag(line.LineTag));
        block = block.next();
    }
}

TBodyLines TaggedText(const QPlainTextEdit* editor) {
    TBodyLines body;
    for (QTextBlock block = editor->document()->firstBlock(); block.isValid(); block = block.next()) {
        const auto* tag = dynamic_cast<const TLineTag*>(block.userData());
        body.emplace_back(FromQt(block.text()), tag ? tag->Tag : 0);
    }
    return body;
}

} // namespace tavro::app
