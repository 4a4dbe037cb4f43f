#include "widgets/MessageDialog.h"
#include "widgets/QtText.h"
#include "widgets/QtUserInterface.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

namespace {

constexpr unsigned AllButtons = (1u << MsgButtonCount) - 1;

QPushButton* DefaultButton(const TMessageForm& form) {
    for (QPushButton* button : form.Buttons())
        if (button->isDefault())
            return button;
    return nullptr;
}

int HelpTopicSeen = -1;
void RecordHelp(QWidget*, int topic) {
    HelpTopicSeen = topic;
}

} // namespace

class MessageDialogTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        ClearMessageDlgRecord();
        SetMessageDlgHelpHandler(nullptr);
    }

    void defaultAndEscapeButtons_data() {
        QTest::addColumn<unsigned>("buttons");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<QString>("escapeName");
        QTest::addColumn<int>("escapeResult");
        QTest::newRow("ok cancel") << unsigned(mbtOK | mbtCancel) << "OK"
                                   << "Cancel" << int(mrCancel);
        QTest::newRow("yes no") << unsigned(mbtYes | mbtNo) << "Yes"
                                << "No" << int(mrNo);
        QTest::newRow("yes no cancel") << unsigned(mbtYes | mbtNo | mbtCancel) << "Yes"
                                       << "Cancel" << int(mrCancel);
        QTest::newRow("ok beats yes") << unsigned(mbtYes | mbtOK) << "OK"
                                      << "OK" << int(mrOk);
        QTest::newRow("ok alone") << unsigned(mbtOK) << "OK"
                                  << "OK" << int(mrOk);
        QTest::newRow("retry cancel") << unsigned(mbtRetry | mbtCancel) << "Retry"
                                      << "Cancel" << int(mrCancel);
        QTest::newRow("abort retry ignore") << unsigned(mbtAbort | mbtRetry | mbtIgnore) << "Retry"
                                            << "" << -1;
        QTest::newRow("file exists") << unsigned(mbtAppend | mbtOverwrite | mbtRename | mbtCancel) << ""
                                     << "Cancel" << int(mrCancel);
        QTest::newRow("no answer key") << unsigned(mbtAll | mbtNoToAll | mbtYesToAll) << ""
                                       << "" << -1;
        QTest::newRow("empty set shows OK") << 0u << "OK"
                                            << "OK" << int(mrOk);
    }
    void defaultAndEscapeButtons() {
        QFETCH(unsigned, buttons);
        QFETCH(QString, defaultName);
        QFETCH(QString, escapeName);
        QFETCH(int, escapeResult);

        TMessageForm form(nullptr, QStringLiteral("Text"), mtConfirmation, buttons);
        QPushButton* byDefault = DefaultButton(form);
        QCOMPARE(byDefault ? byDefault->objectName() : QString(), defaultName);

        // Esc and closing the window answer alike; without an Esc button both do nothing.
        for (bool closeWindow : {false, true}) {
            form.setResult(-1);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            if (closeWindow)
                form.close();
            else
                QTest::keyClick(&form, Qt::Key_Escape);
            QCOMPARE(form.isVisible(), escapeName.isEmpty());
            QCOMPARE(form.result(), escapeResult);
            form.hide();
        }
    }

    void buttonsInFixedOrderWithTheirResults() {
        struct Expected {
            const char* Caption;
            int Result;
        };
        const std::vector<Expected> expected{
            {"&Yes", mrYes},
            {"&No", mrNo},
            {"OK", mrOk},
            {"A&ppend", mrAppend},
            {"Over&write", mrOverwrite},
            {"R&ename", mrRename},
            {"Cancel", mrCancel},
            {"&Abort", mrAbort},
            {"&Retry", mrRetry},
            {"&Ignore", mrIgnore},
            {"&All", mrAll},
            {"N&o to All", mrNoToAll},
            {"Yes to &All", mrYesToAll},
            {"&Help", mrNone},
        };
        TMessageForm form(nullptr, QStringLiteral("Text"), mtWarning, AllButtons);
        QCOMPARE(form.Buttons().size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(form.Buttons()[i]->text(), QString::fromLatin1(expected[i].Caption));

        // Every button but Help closes the dialog with its result.
        for (size_t i = 0; i + 1 < expected.size(); ++i) {
            TMessageForm shown(nullptr, QStringLiteral("Text"), mtWarning, AllButtons);
            shown.show();
            QTest::mouseClick(shown.Buttons()[i], Qt::LeftButton);
            QVERIFY2(!shown.isVisible(), expected[i].Caption);
            QCOMPARE(shown.result(), expected[i].Result);
        }
        QCOMPARE(MsgButtonResult(mbtHelp), int(mrNone));
    }

    void helpShowsTheTopicAndKeepsTheDialogOpen() {
        HelpTopicSeen = -1;
        SetMessageDlgHelpHandler(&RecordHelp);
        TMessageForm form(nullptr, QStringLiteral("Text"), mtError, mbtOK | mbtHelp, 1270);
        form.show();
        QTest::mouseClick(form.Buttons().back(), Qt::LeftButton);
        QCOMPARE(HelpTopicSeen, 1270);
        QVERIFY(form.isVisible());
    }

    void captionAndIconByType_data() {
        QTest::addColumn<int>("type"); // -1: custom
        QTest::addColumn<QString>("caption");
        QTest::newRow("warning") << int(mtWarning) << "Warning";
        QTest::newRow("error") << int(mtError) << "Error";
        QTest::newRow("information") << int(mtInformation) << "Information";
        QTest::newRow("confirmation") << int(mtConfirmation) << "Confirm";
        QTest::newRow("custom") << -1 << "Tavro";
    }
    void captionAndIconByType() {
        QFETCH(int, type);
        QFETCH(QString, caption);
        std::optional<TMsgDlgType> dialogType;
        if (type >= 0)
            dialogType = static_cast<TMsgDlgType>(type);
        TMessageForm form(nullptr, QStringLiteral("Text"), dialogType, mbtOK);
        QCOMPARE(form.windowTitle(), caption);
        auto* image = form.findChild<QLabel*>(QStringLiteral("Image"));
        QCOMPARE(image != nullptr, type >= 0);
        if (image)
            QVERIFY(!image->pixmap().isNull());
    }

    void textWrapsAtHalfTheScreen() {
        const int half = QGuiApplication::primaryScreen()->availableGeometry().width() / 2;
        TMessageForm shortText(nullptr, QStringLiteral("Delete message?"), mtConfirmation, mbtYes | mbtNo);
        shortText.show();
        auto* label = shortText.findChild<QLabel*>(QStringLiteral("Message"));
        QVERIFY(label->height() < 2 * label->fontMetrics().height());
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));

        const QString words = QStringLiteral("A long sentence that keeps going. ").repeated(40);
        TMessageForm longText(nullptr, words, mtError, mbtOK);
        longText.show();
        label = longText.findChild<QLabel*>(QStringLiteral("Message"));
        QVERIFY(label->width() <= half);
        QVERIFY(label->width() > half * 3 / 4);
        QVERIFY(label->height() > 3 * label->fontMetrics().height());
    }

    void messageDlgReturnsTheClickedButton() {
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Rename")), Qt::LeftButton);
        });
        QCOMPARE(MessageDlg(nullptr, QStringLiteral("file already exists!"), mtConfirmation,
                            mbtAppend | mbtOverwrite | mbtRename | mbtCancel),
                 int(mrRename));
        QVERIFY(RecordedMessageDlgCalls().empty());
    }

    void queuedAnswersAreRecorded() {
        QueueMessageDlgAnswer(mrNo);
        QueueMessageDlgAnswer(mrOk);
        QCOMPARE(MessageDlg(nullptr, QStringLiteral("Question"), mtConfirmation, mbtYes | mbtNo), int(mrNo));
        QCOMPARE(CustomMessageDlg(nullptr, QStringLiteral("Notice"), mbtOK), int(mrOk));
        const auto& calls = RecordedMessageDlgCalls();
        QCOMPARE(calls.size(), size_t(2));
        QCOMPARE(calls[0].Text, QStringLiteral("Question"));
        QCOMPARE(calls[0].Type, mtConfirmation);
        QCOMPARE(calls[0].Buttons, unsigned(mbtYes | mbtNo));
        QVERIFY(!calls[0].Custom);
        QVERIFY(calls[1].Custom);
    }

    void userInterfaceMapsEveryButton() {
        const std::vector<std::pair<TMsgDlgButton, unsigned>> pairs{
            {mbYes, mbtYes},
            {mbNo, mbtNo},
            {mbOK, mbtOK},
            {mbCancel, mbtCancel},
            {mbAbort, mbtAbort},
            {mbRetry, mbtRetry},
            {mbIgnore, mbtIgnore},
            {mbAll, mbtAll},
            {mbNoToAll, mbtNoToAll},
            {mbYesToAll, mbtYesToAll},
            {mbHelp, mbtHelp},
            {mbAppend, mbtAppend},
            {mbOverwrite, mbtOverwrite},
            {mbRename, mbtRename},
        };
        std::vector<TMsgDlgButton> all;
        for (const auto& [core, bit] : pairs) {
            QCOMPARE(ToMsgButtons({core}), bit);
            all.push_back(core);
        }
        QCOMPARE(ToMsgButtons(all), AllButtons);
        for (const auto& [core, bit] : pairs)
            if (core != mbHelp)
                QCOMPARE(FromMsgResult(MsgButtonResult(bit), all), core);
        // A result none of the buttons gives answers with the first one.
        QCOMPARE(FromMsgResult(mrOk, {mbRetry, mbCancel}), mbRetry);
        QCOMPARE(FromMsgResult(mrNone, {mbNo, mbHelp}), mbNo);
    }

    void userInterfaceGoesThroughTheMessageDialog() {
        TQtUserInterface ui;
        const std::string text = "\xcf\xf0\xe8\xe2\xe5\xf2"; // display code page, not UTF-8
        QueueMessageDlgAnswer(mrNo);
        QCOMPARE(ui.Ask(text, mtConfirmation, {mbYes, mbNo, mbCancel}), mbNo);
        QueueMessageDlgAnswer(mrOk);
        ui.ShowError("Cannot open base");

        const auto& calls = RecordedMessageDlgCalls();
        QCOMPARE(calls.size(), size_t(2));
        QCOMPARE(calls[0].Text, ToQt(text));
        QCOMPARE(calls[0].Type, mtConfirmation);
        QCOMPARE(calls[0].Buttons, unsigned(mbtYes | mbtNo | mbtCancel));
        QCOMPARE(calls[1].Text, QStringLiteral("Cannot open base"));
        QCOMPARE(calls[1].Type, mtError);
        QCOMPARE(calls[1].Buttons, unsigned(mbtOK));
    }
};

QTEST_MAIN(MessageDialogTest)
#include "MessageDialogTest.moc"
