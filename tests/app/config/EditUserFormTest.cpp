#include "config/EditUserForm.h"
#include "config/HotKeysPage.h"
#include "config/UserColorsPage.h"

#include "widgets/MessageDialog.h"
#include "widgets/UserColors.h"

#include "config/Config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

namespace {

TUser* AddUser(TConfig& config, int id) {
    config.Users.push_back(config.NewUser());
    config.Users.back()->UserId = id;
    config.Users.back()->Name = "User " + std::to_string(id);
    return config.Users.back().get();
}

// Everything the dialog can change, as one comparable text.
QString Describe(const TUser& user, const TConfig& config) {
    QStringList parts{QString::fromStdString(user.Name), QString::fromStdString(user.RealName),
                      QString::number(user.UserId)};
    for (const TTemplate* slot : user.Templates) {
        parts << QString::number(config.IndexOf(slot));
    }
    parts << QString::number(user.EditorOptions, 16) << QString::number(user.KeyMapping)
          << QString::number(user.SpacesInTab) << QString::number(user.BlockIndent)
          << QString::number(user.FormatToViewer) << QString::number(user.AutoSpellCheck);
    for (const TColorPair& pair : user.Colors) {
        parts << QString::number(pair.Fg, 16) + QLatin1Char('/') + QString::number(pair.Bg, 16);
    }
    for (const uint8_t style : user.Styles) {
        parts << QString::number(style);
    }
    for (const TUserFont* font : {&user.TextFont, &user.TreeFont, &user.ListFont}) {
        parts << QString::fromStdString(font->Name) + QLatin1Char(' ') + QString::number(font->Size);
    }
    for (const THotText& hot : user.HotTexts) {
        parts << QString::number(hot.ShortCut, 16) + QLatin1Char('=') + QString::fromStdString(hot.Text);
    }
    for (const std::string& name : user.HighlightNames) {
        parts << QString::fromStdString(name);
    }
    return parts.join(QLatin1Char('|'));
}

template <typename T> T* Child(const QWidget& form, const char* name) {
    T* child = form.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

// Runs once the modal dialog is up.
template <typename F> void WhenModal(F action) {
    QTimer::singleShot(0, [action] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog != nullptr);
        action(*qobject_cast<QDialog*>(dialog));
    });
}

} // namespace

class EditUserFormTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearMessageDlgRecord(); }

    void okRefusesBadInputAndStaysOpen_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("idAfter");
        QTest::newRow("blank name") << QStringLiteral(" \t ") << 5 << QStringLiteral("User name needed.")
                                    << 5;
        QTest::newRow("id of another user")
            << QStringLiteral("Ann") << 1 << QStringLiteral("UserId is not a unique value.") << 2;
    }
    void okRefusesBadInputAndStaysOpen() {
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(QString, message);
        QFETCH(int, idAfter);
        TConfig config;
        AddUser(config, 0);
        AddUser(config, 1);
        AddUser(config, 3);
        TUser* user = AddUser(config, 5);
        const QString before = Describe(*user, config);

        TEditUserForm form(*user, config);
        Child<QLineEdit>(form, "Name")->setText(name);
        Child<QSpinBox>(form, "UserId")->setValue(id);
        Child<QTabWidget>(form, "Pages")->setCurrentIndex(5);
        QueueMessageDlgAnswer(mrOk);
        form.accept();

        QCOMPARE(form.result(), int{QDialog::Rejected});
        QCOMPARE(RecordedMessageDlgCalls().size(), size_t{1});
        QCOMPARE(RecordedMessageDlgCalls()[0].Text, message);
        QCOMPARE(RecordedMessageDlgCalls()[0].Type, mtError);
        QCOMPARE(Child<QTabWidget>(form, "Pages")->currentIndex(), 0);
        QCOMPARE(Child<QSpinBox>(form, "UserId")->value(), idAfter);
        QCOMPARE(Describe(*user, config), before);

        // The proposed id is accepted as it stands.
        Child<QLineEdit>(form, "Name")->setText(QStringLiteral("Ann"));
        form.accept();
        QCOMPARE(form.result(), int{QDialog::Accepted});
        QCOMPARE(user->UserId, idAfter);
    }

    void freeIdIsProposedOnOpening_data() {
        QTest::addColumn<QList<int>>("others");
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("shown");
        QTest::newRow("new user with a taken id") << QList<int>{0, 1, 2} << 1 << false << 3;
        QTest::newRow("first free id is the lowest") << QList<int>{1} << 1 << false << 0;
        QTest::newRow("free id stays") << QList<int>{0, 2} << 5 << false << 5;
        QTest::newRow("a listed user does not collide with itself") << QList<int>{0} << 1 << true << 1;
        QTest::newRow("out of range id from a damaged file") << QList<int>{255} << 4000 << true << 0;
    }
    void freeIdIsProposedOnOpening() {
        QFETCH(QList<int>, others);
        QFETCH(int, id);
        QFETCH(bool, listed);
        QFETCH(int, shown);
        TConfig config;
        for (const int other : others) {
            AddUser(config, other);
        }
        std::unique_ptr<TUser> fresh = config.NewUser();
        TUser* user = listed ? AddUser(config, id) : fresh.get();
        user->UserId = id;
        TEditUserForm form(*user, config);
        QCOMPARE(Child<QSpinBox>(form, "UserId")->value(), shown);
    }

    void idArrowsSkipIdsOfOtherUsers_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("reached");
        QTest::newRow("up over two taken") << 0 << 1 << 3;
        QTest::newRow("up to a free neighbour") << 3 << 1 << 4;
        QTest::newRow("up over one taken") << 4 << 1 << 6;
        QTest::newRow("down over one taken") << 6 << -1 << 4;
        QTest::newRow("two steps down") << 4 << -2 << 0;
        QTest::newRow("nothing below the minimum") << 0 << -1 << 0;
        QTest::newRow("nothing free above") << 253 << 1 << 253;
        QTest::newRow("page of steps") << 0 << 3 << 6;
    }
    void idArrowsSkipIdsOfOtherUsers() {
        QFETCH(int, start);
        QFETCH(int, steps);
        QFETCH(int, reached);
        TConfig config;
        for (const int other : {1, 2, 5, 254, 255}) {
            AddUser(config, other);
        }
        TUser* user = AddUser(config, 0);
        TEditUserForm form(*user, config);
        auto* spin = Child<QSpinBox>(form, "UserId");
        spin->setValue(start);
        spin->stepBy(steps);
        QCOMPARE(spin->value(), reached);
    }

    void okStoresWhatTheDialogShows() {
        TConfig config;
        config.Templates.push_back(std::make_unique<TTemplate>());
        config.Templates.back()->Name = "Mine";
        TTemplate* mine = config.Templates.back().get();
        TUser* user = AddUser(config, 0);
        user->Templates[tkQuote] = nullptr;
        user->EditorOptions = 0xFFFFFFFF;
        user->KeyMapping = 2;
        user->Styles[ceQuote1] = fsStrikeOut;
        user->HotTexts = {{0x4041, "alpha"}};

        TEditUserForm form(*user, config);
        QCOMPARE(Child<QComboBox>(form, "Template2")->currentText(), QStringLiteral("<No template>"));
        QCOMPARE(Child<QComboBox>(form, "Template0")->currentText(), QStringLiteral("Default_New"));
        QVERIFY(Child<QRadioButton>(form, "KeyMapping2")->isChecked());

        Child<QLineEdit>(form, "Name")->setText(QStringLiteral("  Ann Smith  "));
        Child<QLineEdit>(form, "RealName")->setText(QStringLiteral(" Ann "));
        Child<QSpinBox>(form, "UserId")->setValue(7);
        Child<QComboBox>(form, "Template0")->setCurrentIndex(0);
        Child<QComboBox>(form, "Template2")->setCurrentText(QStringLiteral("Mine"));
        Child<QPlainTextEdit>(form, "HighlightNames")
            ->setPlainText(QStringLiteral("  Ann  \n\n Smith\n \t \n"));
        for (QCheckBox* box :
             form.findChildren<QCheckBox*>(QRegularExpression(QStringLiteral("^EditorOption")))) {
            box->setChecked(false);
        }
        Child<QCheckBox>(form, "EditorOption1")->setChecked(true);
        Child<QCheckBox>(form, "EditorOption9")->setChecked(true);
        Child<QRadioButton>(form, "KeyMapping3")->setChecked(true);
        Child<QCheckBox>(form, "FormatToViewer")->setChecked(true);
        Child<QCheckBox>(form, "AutoSpellCheck")->setChecked(true);
        Child<QSpinBox>(form, "SpacesInTab")->setValue(4);
        Child<QSpinBox>(form, "BlockIndent")->setValue(5);

        auto* keys = form.findChild<THotKeysPage*>();
        auto* keyEdit = Child<THotKeyEdit>(form, "HotKeyEdit");
        auto* textEdit = Child<QLineEdit>(form, "HotTextEdit");
        for (const auto& [shortCut, text] : {std::pair{0x405A, "zed"}, {0x4041, "ALPHA"}, {0x8042, "beta"}}) {
            keyEdit->SetShortCut(static_cast<uint16_t>(shortCut));
            textEdit->setText(QString::fromLatin1(text));
            keys->SetHotKey();
        }

        auto* colors = form.findChild<TUserColorsPage*>();
        colors->SelectElement(ceQuote1);
        colors->SetElementColor(true, 0x00123456);
        Child<QCheckBox>(form, "BoldBox")->click();
        colors->SelectElement(ceSelection);
        colors->SetElementColor(true, 0x00AABBCC);
        colors->SelectElement(ceMsgListSel);
        colors->SetElementColor(false, 0x00654321);
        colors->SelectElement(ceEchoTree);
        colors->SetElementFont(QFont(QStringLiteral("DejaVu Serif"), 13));
        colors->SelectElement(ceText);
        colors->SetElementFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));

        form.accept();
        QCOMPARE(form.result(), int{QDialog::Accepted});
        QCOMPARE(user->Name, std::string("Ann Smith"));
        QCOMPARE(user->RealName, std::string("Ann"));
        QCOMPARE(user->UserId, 7);
        QVERIFY(user->Templates[tkNew] == nullptr);
        QVERIFY(user->Templates[tkQuote] == mine);
        QVERIFY(user->Templates[tkReply] == config.DefaultTemplates[tkReply]);
        QCOMPARE(user->HighlightNames, (std::vector<std::string>{"Ann", "Smith"}));
        QCOMPARE(user->EditorOptions, 0x202u);
        QCOMPARE(user->KeyMapping, uint8_t{3});
        QVERIFY(user->FormatToViewer && user->AutoSpellCheck);
        QCOMPARE(user->SpacesInTab, 4);
        QCOMPARE(user->BlockIndent, 5);
        QStringList hot;
        for (const THotText& h : user->HotTexts) {
            hot << QStringLiteral("%1=%2").arg(h.ShortCut, 0, 16).arg(QString::fromStdString(h.Text));
        }
        // Sorted by the key text: "Alt+B", "Ctrl+A", "Ctrl+Z".
        QCOMPARE(hot, (QStringList{"8042=beta", "4041=ALPHA", "405a=zed"}));
        QCOMPARE(user->Colors[ceQuote1].Fg, TColor{0x00123456});
        QCOMPARE(user->Colors[ceSelection].Fg, TColor{0x00AABBCC});
        QCOMPARE(user->Colors[ceMsgListSel].Bg, TColor{0x00654321});
        QCOMPARE(user->Colors[ceText], TUser::DefaultColors()[ceText]);
        QCOMPARE(user->Styles[ceQuote1], uint8_t{fsStrikeOut | fsBold});
        QCOMPARE(user->TreeFont, (TUserFont{"DejaVu Serif", 204, 13}));
        QCOMPARE(user->TextFont, (TUserFont{"DejaVu Sans Mono", 204, 11}));
        QCOMPARE(user->ListFont, (TUserFont{"MS Sans Serif", 204, 8}));
    }

    void cancelChangesNothing() {
        TConfig config;
        TUser* user = AddUser(config, 0);
        user->HotTexts = {{0x4041, "alpha"}};
        user->HighlightNames = {"Ann"};
        const QString before = Describe(*user, config);

        TEditUserForm form(*user, config);
        Child<QLineEdit>(form, "Name")->setText(QStringLiteral("Other"));
        Child<QSpinBox>(form, "UserId")->setValue(9);
        Child<QComboBox>(form, "Template1")->setCurrentIndex(0);
        Child<QCheckBox>(form, "EditorOption0")->setChecked(false);
        Child<QPlainTextEdit>(form, "HighlightNames")->setPlainText(QStringLiteral("Bob"));
        Child<THotKeyEdit>(form, "HotKeyEdit")->SetShortCut(0x4041);
        Child<QLineEdit>(form, "HotTextEdit")->setText(QStringLiteral("changed"));
        form.findChild<THotKeysPage*>()->SetHotKey();
        form.findChild<THotKeysPage*>()->DeleteHotKey();
        form.findChild<TUserColorsPage*>()->SetElementColor(true, 0x00010203);
        form.reject();
        QCOMPARE(Describe(*user, config), before);
    }

    void editUserReportsTheOutcome() {
        TUser user;
        user.Name = "Old";
        WhenModal([](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit user info"));
            Child<QLineEdit>(dialog, "Name")->setText(QStringLiteral("Cancelled"));
            dialog.reject();
        });
        QVERIFY(!EditUser(nullptr, user, QStringLiteral("Edit user info")));
        QCOMPARE(user.Name, std::string("Old"));

        WhenModal([](QDialog& dialog) {
            Child<QLineEdit>(dialog, "Name")->setText(QStringLiteral("New"));
            dialog.accept();
        });
        QVERIFY(EditUser(nullptr, user, QStringLiteral("Create first user")));
        QCOMPARE(user.Name, std::string("New"));
    }

    void hotKeyListEditing() {
        TConfig config;
        TUser* user = AddUser(config, 0);
        user->HotTexts = {{0x4042, "beta"}, {0x4041, "alpha"}};
        TEditUserForm form(*user, config);
        auto* page = form.findChild<THotKeysPage*>();
        auto* list = Child<QTreeWidget>(form, "HotKeyList");
        auto* keyEdit = Child<THotKeyEdit>(form, "HotKeyEdit");
        auto* textEdit = Child<QLineEdit>(form, "HotTextEdit");
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Ctrl+A"));

        // Selecting loads the fields.
        list->setCurrentItem(list->topLevelItem(1));
        QCOMPARE(keyEdit->ShortCut(), uint16_t{0x4042});
        QCOMPARE(textEdit->text(), QStringLiteral("beta"));

        // The same key replaces the text; a new key is added and selected.
        textEdit->setText(QStringLiteral("BETA"));
        page->SetHotKey();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("BETA"));
        keyEdit->SetShortCut(0x0071);
        textEdit->setText(QStringLiteral("f2"));
        page->SetHotKey();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->currentItem()->text(0), QStringLiteral("F2"));

        // No key, no entry.
        keyEdit->SetShortCut(0);
        page->SetHotKey();
        QCOMPARE(list->topLevelItemCount(), 3);

        list->setCurrentItem(list->topLevelItem(0));
        page->DeleteHotKey();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Ctrl+B"));

        // F2 and Del act as the buttons while the list has the focus; the key field records them.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Child<QTabWidget>(form, "Pages")->setCurrentWidget(page);
        list->setFocus();
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->topLevelItemCount(), 1);
        keyEdit->setFocus();
        QTest::keyClick(keyEdit, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(keyEdit->ShortCut(), uint16_t{0x402E});
        QCOMPARE(list->topLevelItemCount(), 1);
        QTest::keyClick(list, Qt::Key_F2);
        QCOMPARE(list->topLevelItemCount(), 2);
        // In the text field Del edits the text.
        textEdit->setFocus();
        textEdit->setText(QStringLiteral("abc"));
        textEdit->setCursorPosition(0);
        QTest::keyClick(textEdit, Qt::Key_Delete);
        QCOMPARE(textEdit->text(), QStringLiteral("bc"));
        QCOMPARE(list->topLevelItemCount(), 2);
    }

    void colourPageEditsTheRightElement_data() {
        QTest::addColumn<int>("element");
        QTest::addColumn<bool>("styled");
        QTest::addColumn<QString>("font"); // which font the chooser edits
        QTest::newRow("plain text") << int{ceText} << true << QStringLiteral("text");
        QTest::newRow("tearline") << int{ceTearOrigin} << true << QStringLiteral("text");
        QTest::newRow("selected block") << int{ceSelection} << false << QStringLiteral("text");
        QTest::newRow("echo tree") << int{ceEchoTree} << false << QStringLiteral("tree");
        QTest::newRow("message list") << int{ceMsgList} << false << QStringLiteral("list");
        QTest::newRow("echo tree selection") << int{ceEchoTreeSel} << false << QStringLiteral("tree");
        QTest::newRow("message list selection") << int{ceMsgListSel} << false << QStringLiteral("list");
    }
    void colourPageEditsTheRightElement() {
        QFETCH(int, element);
        QFETCH(bool, styled);
        QFETCH(QString, font);
        TUser user;
        TConfig config;
        TEditUserForm form(user, config);
        auto* page = form.findChild<TUserColorsPage*>();
        page->SelectElement(element);
        for (const char* name : {"BoldBox", "ItalicBox", "UnderlineBox"}) {
            QCOMPARE(Child<QCheckBox>(form, name)->isEnabled(), styled);
        }
        page->SetElementFont(QFont(QStringLiteral("DejaVu Serif"), 15));
        const TUserFont changed{"DejaVu Serif", 204, 15};
        QCOMPARE(page->Look().TextFont == changed, font == QStringLiteral("text"));
        QCOMPARE(page->Look().TreeFont == changed, font == QStringLiteral("tree"));
        QCOMPARE(page->Look().ListFont == changed, font == QStringLiteral("list"));
    }

    void previewShowsTheEditedStyles() {
        TUser user;
        TConfig config;
        TEditUserForm form(user, config);
        auto* preview = Child<QPlainTextEdit>(form, "Preview");
        QVERIFY(preview->isReadOnly());
        auto* page = form.findChild<TUserColorsPage*>();
        page->SelectElement(ceQuote2);
        page->SetElementColor(true, 0x000000C0);

        bool found = false;
        for (QTextBlock block = preview->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text().startsWith(QStringLiteral(" JD>> "))) {
                const auto ranges = block.layout()->formats();
                QCOMPARE(ranges.size(), 1);
                QCOMPARE(ranges[0].format.foreground().color(), QColor(0xC0, 0, 0));
                found = true;
            }
        }
        QVERIFY(found);
        // One line stands for a selection in the selection colours.
        page->SelectElement(ceSelection);
        page->SetElementColor(false, 0x00300000);
        QCOMPARE(preview->extraSelections().size(), 1);
        QCOMPARE(preview->extraSelections()[0].format.background().color(), QColor(0, 0, 0x30));
    }
};

QTEST_MAIN(EditUserFormTest)
#include "EditUserFormTest.moc"
