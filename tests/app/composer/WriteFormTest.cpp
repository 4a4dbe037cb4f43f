// The composer opened from the reader: a quote of the current message, its header refresh,
// sending and the answer in the thread, the close question, and the draft while it is open.
#include "composer/WriteForm.h"
#include "reader/MsgListModel.h"
#include "reader/MsgListPane.h"
#include "reader/ReaderCompose.h"
#include "reader/ViewerArea.h"
#include "widgets/FindDialog.h"
#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"
#include "widgets/StyledTextEdit.h"

#include "compose/DraftStore.h"
#include "config/AddressBook.h"
#include "config/Config.h"
#include "config/Echo.h"
#include "core/ConfigDir.h"

#include "../reader/ReaderHome.h"

#include "composer/WriteCommands.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <filesystem>

using namespace tavro;
using namespace tavro::app;
using tavro::test::TReaderHome;
using tavro::test::WriteJam;

class WriteFormTest : public QObject, public TReaderHome {
    Q_OBJECT
private:
    std::unique_ptr<TViewForm> Reader;

    // The reader on an area with one message from Ivan, current.
    void OpenReader() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"Ivan Petrov", "Cameras", "2:5020/7 1a"}});
        AddArea("RU.TEST", jhr)->Address.Parse("2:5020/1042");
        User->Templates = Config().DefaultTemplates;
        Reader = std::make_unique<TViewForm>();
        Reader->SetCurrentUser(User.get());
        Reader->ListPane()->FocusMessage(0);
    }
    static QString Text(TWriteForm& form) {
        form.Editor()->Complete();
        return form.Editor()->toPlainText();
    }

private slots:
    void init() {
        TFindDialog::ResetShared();
        Start();
        ClearMessageDlgRecord();
    }
    void cleanup() {
        Reader.reset();
        Config().Echoes.clear();
        Stop();
    }

    // Quote, change the recipient so the template's greeting follows, send: the answer is in
    // the base under the original and the list shows it threaded there.
    void quoteEditSendAndThread() {
        OpenReader();
        Reader->Action(QStringLiteral("ThreadModeAction"))->setChecked(true);
        QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::Reply);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Tavro Editor: RU.TEST"));
        QCOMPARE(form->SubjectBox()->text(), QStringLiteral("Cameras"));
        QVERIFY(Text(*form).contains(QStringLiteral("Hello Ivan!")));
        QVERIFY(Text(*form).endsWith(QStringLiteral("--- ") + ToQt(Config().Settings.TearlineText)));

        auto* toName = form->findChild<QLineEdit*>(QStringLiteral("ToName"));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        toName->setFocus();
        toName->setText(QStringLiteral("Petr Sidorov"));
        form->Editor()->setFocus(); // leaving the field refreshes the template lines
        QVERIFY(Text(*form).contains(QStringLiteral("Hello Petr!")));
        QVERIFY(!Text(*form).contains(QStringLiteral("Hello Ivan!")));
        form->Editor()->appendPlainText(QStringLiteral("My answer"));

        QSignalSpy sent(form.data(), &TWriteForm::Sent);
        QVERIFY(form->Send());
        QCOMPARE(sent.size(), 1);
        QTRY_VERIFY(!form); // closed without a question, and gone
        QVERIFY(RecordedMessageDlgCalls().empty());

        TMsgListModel* model = Reader->ListPane()->Model();
        TCustomBase* base = model->Base();
        base->Rescan();
        QCOMPARE(base->GetCount(), 2);
        TMsgHandle answer = base->GetMsg(1);
        QCOMPARE(answer->ToName, std::string("Petr Sidorov"));
        QCOMPARE(answer->GetKludge("REPLY:"), std::string("2:5020/7 1a"));
        // The list took the new message in, under the one it answers.
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->rowCount(model->index(0, 0)), 1);
    }

    // Closing asks first; No keeps what was typed; the draft follows the text until then.
    void closeQuestionAndDraft() {
        OpenReader();
        QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::New);
        QVERIFY(form);
        form->SubjectBox()->setText(QStringLiteral("Unsent"));
        form->Editor()->appendPlainText(QStringLiteral("a long letter"));
        QTRY_VERIFY_WITH_TIMEOUT(!form->DraftPath().empty(), 5000);
        const std::string draft = form->DraftPath();
        QTRY_VERIFY(std::filesystem::exists(draft));
        // A running composer's draft is not offered to another start.
        QVERIFY(FindLeftDrafts(ConfigDir(), User->UserId).Drafts.empty());

        QueueMessageDlgAnswer(mrNo);
        QVERIFY(!form->close());
        QVERIFY(form);
        QCOMPARE(RecordedMessageDlgCalls().back().Text, QStringLiteral("Close without send?"));
        QVERIFY(Text(*form).contains(QStringLiteral("a long letter")));
        QueueMessageDlgAnswer(mrYes);
        QVERIFY(form->close());
        QTRY_VERIFY(!form);
        QVERIFY(!std::filesystem::exists(draft)); // given up: no draft
    }

    // A draft left behind (its composer killed) is offered back at start and reopens the
    // composer with the text as it was.
    void leftDraftComesBack() {
        OpenReader();
        {
            QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::New);
            form->SubjectBox()->setText(QStringLiteral("Before the crash"));
            form->Editor()->appendPlainText(QStringLiteral("not lost"));
            QTRY_VERIFY_WITH_TIMEOUT(!form->DraftPath().empty(), 5000);
            QTRY_VERIFY(std::filesystem::exists(form->DraftPath()));
            // As if the program died: the window goes without its close rules.
            form->setAttribute(Qt::WA_DeleteOnClose, false);
            delete form.data();
        }
        // The program finds a draft's area among the configured ones.
        TEcho& configured = Config().AddEcho();
        configured.Name = "RU.TEST";
        configured.EchoType = etEchomail;
        configured.BaseType = btJam;
        configured.Path = File("area.jhr");
        QueueMessageDlgAnswer(mrYes);
        Reader->Compose()->OfferLeftDrafts();
        QCOMPARE(RecordedMessageDlgCalls().back().Text, QStringLiteral("Restore 1 unsent messages?"));
        TWriteForm* restored = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TWriteForm*>(widget))
                restored = form;
        QVERIFY(restored);
        QCOMPARE(restored->SubjectBox()->text(), QStringLiteral("Before the crash"));
        QVERIFY(Text(*restored).contains(QStringLiteral("not lost")));
        QueueMessageDlgAnswer(mrYes);
        restored->close();
    }

    // A hot text goes in at the caret, also over a key the window has a command on; without
    // the text border a line typed past the margin is broken after its last blank.
    void hotTextsAndTheHardWrap() {
        User->HotTexts.push_back({uint16_t(0x4000 | 'W'), "Best regards, Olga"});
        User->HotTexts.push_back({uint16_t(0x4000 | 'W'), "never, the first one wins"});
        OpenReader();
        QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::New);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QAction* border = form->Commands()->Action(QStringLiteral("WordWrap1"));
        QVERIFY(border->isChecked());

        form->SubjectBox()->setFocus();
        form->SubjectBox()->setText(QStringLiteral("Hi "));
        QTest::keyClick(form->SubjectBox(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(form->SubjectBox()->text(), QStringLiteral("Hi Best regards, Olga"));
        QVERIFY(border->isChecked()); // Ctrl+W did not reach "Text border"

        form->Editor()->setFocus();
        form->Editor()->moveCursor(QTextCursor::Start);
        QTest::keyClick(form->Editor(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(Text(*form).startsWith(QStringLiteral("Best regards, Olga")));
        QCOMPARE(form->Editor()->textCursor().positionInBlock(), 18);

        border->setChecked(false);
        form->Editor()->moveCursor(QTextCursor::End);
        form->Editor()->insertPlainText(QStringLiteral("\n"));
        const QString words = QStringLiteral("word ").repeated(15) + QStringLiteral("wordy"); // 80 characters
        QTest::keyClicks(form->Editor(), words);
        const QStringList lines = Text(*form).split(QLatin1Char('\n'));
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("word ").repeated(15));
        QCOMPARE(lines.back(), QStringLiteral("wordy"));
        QueueMessageDlgAnswer(mrYes);
        form->close();
    }

    // The drop-down of "New" lists the favourite contacts; one of them gets a new message.
    void favouriteContact() {
        auto contact = std::make_unique<TABUser>();
        contact->FirstName = "Petr";
        contact->LastName = "Sidorov";
        contact->Address.Parse("2:5020/88");
        contact->Favourite = true;
        Config().ABUsers.push_back(std::move(contact));
        OpenReader();
        QMenu* menu = Reader->FavouritesMenu();
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().front()->text(), QStringLiteral("Petr Sidorov (2:5020/88)"));
        menu->actions().front()->trigger();
        TWriteForm* form = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<TWriteForm*>(widget))
                form = found;
        QVERIFY(form);
        QCOMPARE(form->Session().Msg().ToName, std::string("Petr Sidorov"));
        QVERIFY(Text(*form).startsWith(QStringLiteral("Hello Petr!")));
        QueueMessageDlgAnswer(mrYes);
        form->close();
        Config().ABUsers.clear();
    }

    // Ctrl+F finds in the text and marks every match; "Find next" goes on while there is one.
    void findAndFindNext() {
        OpenReader();
        QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::New);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->Editor()->setPlainText(QStringLiteral("one Нет two\nthree Hет\nfour"));
        form->Editor()->moveCursor(QTextCursor::Start);
        form->Editor()->setFocus();
        QAction* next = form->Commands()->Action(QStringLiteral("FindNextAction"));
        QVERIFY(!next->isEnabled());
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<TFindDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QComboBox*>(QStringLiteral("TextToFind"))->setEditText(QStringLiteral("нет"));
            dialog->accept();
        });
        form->Commands()->Action(QStringLiteral("FindAction"))->trigger();
        QCOMPARE(form->Editor()->textCursor().selectedText(), QStringLiteral("Нет"));
        QCOMPARE(form->Editor()->extraSelections().size(), 2); // the stored form "Hет" too
        QVERIFY(next->isEnabled());
        next->trigger();
        QCOMPARE(form->Editor()->textCursor().selectedText(), QStringLiteral("Hет"));
        next->trigger();
        QVERIFY(!next->isEnabled());
        QueueMessageDlgAnswer(mrYes);
        form->close();
    }

    // The composer's place and options are kept in the "Editor" section of the layout file.
    void editorSectionRoundTrip() {
        OpenReader();
        {
            QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::New);
            form->Commands()->Action(QStringLiteral("WordWrap1"))->setChecked(false);
            form->Commands()->Action(QStringLiteral("ToolbarAction"))->setChecked(false);
            form->resize(640, 480);
            QueueMessageDlgAnswer(mrYes);
            QVERIFY(form->close());
        }
        const QString ini = QString::fromStdString(ConfigDir()) + QStringLiteral("/tavro.ini");
        {
            QSettings settings(ini, QSettings::IniFormat);
            QCOMPARE(settings.value(QStringLiteral("Editor/WordWrap")).toInt(), 0);
            QCOMPARE(settings.value(QStringLiteral("Editor/ToolbarVisible")).toInt(), 0);
            QCOMPARE(settings.value(QStringLiteral("Editor/Width")).toInt(), 640);
            settings.setValue(QStringLiteral("Editor/ToolbarPos"), QStringLiteral("a,b"));
        }
        QPointer<TWriteForm> form = Reader->Compose()->Open(TComposeMode::New);
        QVERIFY(!form->Commands()->Action(QStringLiteral("WordWrap1"))->isChecked());
        QVERIFY(!form->Commands()->ToolBar()->isVisibleTo(form));
        QCOMPARE(form->width(), 640);
        QueueMessageDlgAnswer(mrYes);
        form->close();
    }
};

QTEST_MAIN(WriteFormTest)
#include "WriteFormTest.moc"
