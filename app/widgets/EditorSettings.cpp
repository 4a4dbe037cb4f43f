#include "EditorSettings.h"

#include "FtnHighlighter.h"
#include "UserColors.h"

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QVariant>

#include <algorithm>

namespace tavro::app {

namespace {

constexpr char OptionsProperty[] = "tavroEditorOptions";
constexpr char KeyMappingProperty[] = "tavroKeyMapping";
constexpr char KeySchemeProperty[] = "tavroKeyScheme";
constexpr char TabWidthProperty[] = "tavroTabWidth";
constexpr char BlockIndentProperty[] = "tavroBlockIndent";

void SetColors(QPlainTextEdit* editor, const TUser& user) {
    QPalette palette = editor->palette();
    // The selection keeps its colours when the editor loses the focus, as it did before.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, ToQColor(user.Colors[ceText].Bg));
        palette.setColor(group, QPalette::Text, ToQColor(user.Colors[ceText].Fg));
        palette.setColor(group, QPalette::Highlight, ToQColor(user.Colors[ceSelection].Bg));
        palette.setColor(group, QPalette::HighlightedText, ToQColor(user.Colors[ceSelection].Fg));
    }
    editor->setPalette(palette);
}

void KeepBehaviour(QPlainTextEdit* editor, const TUser& user, int tabWidth) {
    editor->setProperty(OptionsProperty, QVariant::fromValue(user.EditorOptions));
    editor->setProperty(KeyMappingProperty, static_cast<int>(user.KeyMapping));
    editor->setProperty(KeySchemeProperty, user.KeyMapping == 0 ? QStringLiteral("Default") : QString());
    editor->setProperty(TabWidthProperty, tabWidth);
    editor->setProperty(BlockIndentProperty, std::clamp(user.BlockIndent, 2, 16));
}

} // namespace

void ApplyEditorSettings(QPlainTextEdit* editor, FtnHighlighter* highlighter, const TUser& user) {
    const int tabWidth = std::clamp(user.SpacesInTab, 1, 32);
    const QFont font = ToQFont(user.TextFont, true);
    editor->setFont(font);
    editor->document()->setDefaultFont(font);
    editor->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * tabWidth);
    SetColors(editor, user);
    KeepBehaviour(editor, user, tabWidth);
    if (highlighter != nullptr) {
        highlighter->SetUser(user);
    }
}

TEditorBehaviour EditorBehaviour(const QPlainTextEdit* editor) {
    TEditorBehaviour behaviour;
    if (!editor->property(OptionsProperty).isValid()) {
        return behaviour;
    }
    behaviour.Options = editor->property(OptionsProperty).toUInt();
    behaviour.KeyMapping = static_cast<uint8_t>(editor->property(KeyMappingProperty).toInt());
    behaviour.KeyScheme = editor->property(KeySchemeProperty).toString();
    behaviour.TabWidth = editor->property(TabWidthProperty).toInt();
    behaviour.BlockIndent = editor->property(BlockIndentProperty).toInt();
    return behaviour;
}

} // namespace tavro::app
