// The find dialog's shared history and settings, and the search it drives in a text editor.
#include "widgets/FindDialog.h"
#include "widgets/TextSearch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextCharFormat>
#include <QtTest>

#include <functional>

using namespace tavro;
using namespace tavro::app;

namespace {

template <typename TWidget> TWidget* Child(const QWidget& parent, const char* name) {
    return parent.findChild<TWidget*>(QString::fromUtf8(name));
}

QComboBox* TextField(const TFindDialog& dialog) {
    return Child<QComboBox>(dialog, "TextToFind");
}

// Types into the field over whatever it holds.
void Type(TFindDialog& dialog, const QString& text) {
    QLineEdit* edit = TextField(dialog)->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, text);
}

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

void Select(QPlainTextEdit& editor, int anchor, int position) {
    QTextCursor cursor(editor.document());
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

// The selection as [start, end).
QPair<int, int> Selected(const QPlainTextEdit& editor) {
    return {editor.textCursor().selectionStart(), editor.textCursor().selectionEnd()};
}

QList<int> Starts(const QList<QTextEdit::ExtraSelection>& marks) {
    QList<int> starts;
    for (const auto& mark : marks)
        starts << mark.cursor.selectionStart();
    return starts;
}

TFindRequest Request(const QString& text, TFindOptions options = {}, bool fromCursor = true,
                     bool selectedOnly = false) {
    return {text, options, fromCursor, selectedOnly};
}

} // namespace

class FindDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { TFindDialog::ResetShared(); }

    void typedTextsGoToTheTopOfTheHistoryOnce() {
        const auto run = [](const QString& initial, const std::function<void(TFindDialog&)>& edit, bool ok) {
            TFindDialog dialog(initial);
            QCOMPARE(Items(*TextField(dialog)), TFindDialog::History());
            QCOMPARE(TextField(dialog)->currentText(), initial);
            edit(dialog);
            ok ? dialog.accept() : dialog.reject();
        };
        const auto keep = [](TFindDialog&) {};

        run(QStringLiteral("alpha"), keep, true);
        run(QStringLiteral("beta"), keep, true);
        QCOMPARE(TFindDialog::History(), QStringList({"beta", "alpha"}));
        run(
            QString(), [](TFindDialog& d) { Type(d, QStringLiteral("gamma")); }, true);
        QCOMPARE(TFindDialog::History(), QStringList({"gamma", "beta", "alpha"}));
        // Typed again: moved up, not added twice.
        run(
            QStringLiteral("x"), [](TFindDialog& d) { Type(d, QStringLiteral("alpha")); }, true);
        QCOMPARE(TFindDialog::History(), QStringList({"alpha", "gamma", "beta"}));
        // Picked from the list: stays where it is.
        run(
            QString(), [](TFindDialog& d) { TextField(d)->setCurrentIndex(2); }, true);
        QCOMPARE(TFindDialog::History(), QStringList({"alpha", "gamma", "beta"}));
        // Cancelled or empty: nothing to remember.
        run(QStringLiteral("delta"), keep, false);
        run(QString(), keep, true);
        QCOMPARE(TFindDialog::History(), QStringList({"alpha", "gamma", "beta"}));
    }

    void theLastSearchsSettingsStartTheNextDialog() {
        {
            TFindDialog dialog(QStringLiteral("word"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Find text"));
            QVERIFY(!Child<QCheckBox>(dialog, "RegularExpression")->isEnabled());
            const TFindRequest initial = dialog.Request();
            QCOMPARE(initial.Text, QStringLiteral("word"));
            QVERIFY(!initial.Options.CaseSensitive && !initial.Options.WholeWords &&
                    !initial.Options.Backward);
            QVERIFY(initial.FromCursor && !initial.SelectedOnly);

            Child<QCheckBox>(dialog, "CaseSensitive")->setChecked(true);
            Child<QCheckBox>(dialog, "WholeWords")->setChecked(true);
            Child<QRadioButton>(dialog, "Backward")->setChecked(true);
            Child<QRadioButton>(dialog, "EntireScope")->setChecked(true);
            Child<QRadioButton>(dialog, "SelectedText")->setChecked(true);
            dialog.accept();
        }
        const auto checkCarried = [] {
            TFindDialog dialog(QStringLiteral("other"));
            const TFindRequest next = dialog.Request();
            QCOMPARE(next.Text, QStringLiteral("other"));
            QVERIFY(next.Options.CaseSensitive && next.Options.WholeWords && next.Options.Backward);
            QVERIFY(!next.FromCursor && next.SelectedOnly);
            QVERIFY(!Child<QRadioButton>(dialog, "Forward")->isChecked());
            QVERIFY(!Child<QRadioButton>(dialog, "Global")->isChecked());
        };
        checkCarried();
        // A cancelled dialog was no search: its changes are not kept.
        {
            TFindDialog dialog{QString()};
            Child<QCheckBox>(dialog, "CaseSensitive")->setChecked(false);
            Child<QRadioButton>(dialog, "Forward")->setChecked(true);
            dialog.reject();
        }
        checkCarried();
    }

    void searchSelectsTheNextMatchAndMarksThemAll() {
        QPlainTextEdit editor(QStringLiteral("one two One two\none"));
        Select(editor, 1, 1);
        QTextCharFormat format;
        format.setBackground(Qt::darkBlue);
        format.setForeground(Qt::yellow);

        TTextSearch search(Request(QStringLiteral("one")));
        QVERIFY(search.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(8, 11));
        QCOMPARE(editor.textCursor().position(), 11);
        const QList<QTextEdit::ExtraSelection> marks = search.Marks(editor, format);
        QCOMPARE(Starts(marks), QList<int>({0, 8, 16}));
        QCOMPARE(marks[2].cursor.selectedText(), QStringLiteral("one"));
        QCOMPARE(marks[0].format.background(), format.background());
        QCOMPARE(marks[0].format.foreground(), format.foreground());

        QVERIFY(search.Next(editor));
        QCOMPARE(Selected(editor), qMakePair(16, 19));
        // Nothing further: the last match stays selected.
        QVERIFY(!search.Next(editor));
        QCOMPARE(Selected(editor), qMakePair(16, 19));

        // From the start of the text whatever the caret.
        TTextSearch entire(Request(QStringLiteral("one"), {}, false));
        QVERIFY(entire.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(0, 3));
        QVERIFY(!TTextSearch(Request(QStringLiteral("missing"))).Start(editor));
        QCOMPARE(Selected(editor), qMakePair(0, 3));
    }

    void backwardSearchWalksToTheStart() {
        QPlainTextEdit editor(QStringLiteral("one two one two one"));
        Select(editor, 13, 13);
        TTextSearch search(Request(QStringLiteral("one"), {.Backward = true}));
        QVERIFY(search.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(8, 11));
        QCOMPARE(editor.textCursor().position(), 8);
        QVERIFY(search.Next(editor));
        QCOMPARE(Selected(editor), qMakePair(0, 3));
        QVERIFY(!search.Next(editor));

        TTextSearch entire(Request(QStringLiteral("one"), {.Backward = true}, false));
        QVERIFY(entire.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(16, 19));
    }

    void selectedTextLimitsTheSearchAndFollowsEdits() {
        QPlainTextEdit editor(QStringLiteral("two one two one two"));
        Select(editor, 15, 4); // "one two one", selected right to left
        TTextSearch search(Request(QStringLiteral("two"), {}, true, true));
        QVERIFY(search.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(8, 11));
        QCOMPARE(Starts(search.Marks(editor, {})), QList<int>({8}));
        QVERIFY(!search.Next(editor));

        // Text typed before the scope moves it along.
        QTextCursor(editor.document()).insertText(QStringLiteral("two "));
        QCOMPARE(Starts(search.Marks(editor, {})), QList<int>({12}));
        Select(editor, 0, 0);
        QVERIFY(search.Next(editor));
        QCOMPARE(Selected(editor), qMakePair(12, 15));

        // Without a selection the whole text is the scope.
        Select(editor, 0, 0);
        TTextSearch whole(Request(QStringLiteral("two"), {}, true, true));
        QVERIFY(whole.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(0, 3));
        QCOMPARE(Starts(whole.Marks(editor, {})), QList<int>({0, 4, 12, 20}));
    }

    void typedCyrillicFindsTheStoredLatinLetters() {
        // The active code pages are CP866 and Windows-1251: capital EN is stored as "H".
        QPlainTextEdit editor(QStringLiteral("Hy, H\u0415\u0422."));
        TTextSearch search(Request(QStringLiteral("\u043D\u0435\u0442"), {.WholeWords = true}));
        QVERIFY(search.Start(editor));
        QCOMPARE(Selected(editor), qMakePair(4, 7));
    }

    void theWordAtTheCaret() {
        QPlainTextEdit editor(QStringLiteral("hello w\u00F6rld_2, ok\n  next"));
        const struct {
            int Position;
            QString Word;
        } cases[] = {{0, "hello"}, {3, "hello"}, {5, "hello"}, {9, "w\u00F6rld_2"},
                     {14, ""},     {17, "ok"},   {19, ""},     {22, "next"}};
        for (const auto& c : cases) {
            Select(editor, c.Position, c.Position);
            QCOMPARE(WordAtCaret(editor), c.Word);
        }
    }
};

QTEST_MAIN(FindDialogTest)
#include "FindDialogTest.moc"
