// The reader's operations on messages through its windows: delete, copy, the transfer
// dialog's cancel between messages, and writing to a file.
#include "reader/ReaderOperations.h"
#include "reader/MsgListPane.h"
#include "reader/SelectAreaDialog.h"
#include "reader/TransferForm.h"
#include "reader/ViewForm.h"
#include "reader/ViewerArea.h"
#include "widgets/MessageDialog.h"

#include "bases/JamBase.h"
#include "config/Config.h"
#include "config/Echo.h"
#include "core/CodePage.h"
#include "reader/MsgTransfer.h"

#include "ReaderHome.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QTimer>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;
using tavro::test::ItemNamed;
using tavro::test::TReaderHome;
using tavro::test::WriteJam;

namespace {

int Count(const std::string& jhr) {
    TJamBase base(jhr, "X", "");
    base.Rescan();
    return base.GetCount();
}

// Answers the next "Select area:" with the area of this name.
void ChooseArea(const char* name) {
    QTimer::singleShot(0, [name] {
        auto* dialog = qobject_cast<TSelectAreaDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->Tree()->setCurrentItem(ItemNamed(dialog->Tree(), QString::fromLatin1(name)));
        dialog->accept();
    });
}

} // namespace

class ReaderOperationsTest : public QObject, public TReaderHome {
    Q_OBJECT
private:
    std::unique_ptr<TViewForm> Reader;
    std::string Source, Target;

    void OpenReader(std::vector<tavro::test::TJamPost> posts) {
        Source = File("source.jhr");
        Target = File("target.jhr");
        WriteJam(Source, posts);
        WriteJam(Target, {});
        AddArea("RU.SOURCE", Source);
        AddArea("RU.TARGET", Target);
        User->Templates = Config().DefaultTemplates;
        Reader = std::make_unique<TViewForm>();
        Reader->SetCurrentUser(User.get());
        Reader->ListPane()->FocusMessage(0);
    }

private slots:
    void init() {
        Start();
        ClearMessageDlgRecord();
    }
    void cleanup() {
        Reader.reset();
        Stop();
    }

    // The last message goes without marks: the lastread pointer stays, the list shows the
    // new last message.
    void deleteTheLastMessage() {
        OpenReader({{"Ivan", "one"}, {"Olga", "two"}, {"Petr", "three"}});
        TJamBase probe(Source, "X", "");
        probe.Rescan();
        tavro::test::SetLastRead(Source, probe.GetMsgId(1));
        Reader->Area()->Reload();
        Reader->ListPane()->FocusMessage(2);
        QueueMessageDlgAnswer(mrYes);
        Reader->Action(QStringLiteral("DeleteAction"))->trigger();
        QCOMPARE(RecordedMessageDlgCalls().back().Text,
                 QStringLiteral("Are you really want to delete message(s)?"));
        QCOMPARE(Count(Source), 2);
        QCOMPARE(Reader->ListPane()->CurrentPosition(), 1);
        TJamBase base(Source, "X", "");
        base.SetUser(0, "Reader");
        base.Rescan();
        QCOMPARE(base.GetLastRead(), probe.GetMsgId(1));
    }

    // Without marks the current message is copied, and no mark is left behind.
    void copyWithoutMarks() {
        OpenReader({{"Ivan", "one"}, {"Olga", "two"}});
        ChooseArea("RU.TARGET");
        Reader->Action(QStringLiteral("CopyAction"))->trigger();
        QCOMPARE(Count(Target), 1);
        QCOMPARE(Count(Source), 2);
        QCOMPARE(Reader->Area()->Marks().Count(), 0);
    }

    // A UTF-8 message with characters the display page lacks is copied byte for byte.
    void copyIsByteForByte() {
        OpenReader({});
        const std::string text = "\xD0\x9F\xD1\x80\xD0\xB8 \xCE\xBB \xF0\x9F\x98\x80 \xD1\x8D"; // "При λ 😀 э"
        {
            TJamBase raw(Source, "X", "");
            raw.CodePages = TCodePagePair::Identity();
            raw.DoNotIgnoreSoftCR = true;
            raw.Rescan();
            auto msg = raw.NewMsg();
            msg->FromName = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"; // "Иван"
            msg->Subject = text;
            msg->Kludges = {"\x01"
                            "CHRS: UTF-8 4"};
            msg->Body = {TBodyLine(text)};
            QVERIFY(msg->Save());
        }
        Reader->Area()->Reload();
        Reader->ListPane()->FocusMessage(0);
        ChooseArea("RU.TARGET");
        Reader->Action(QStringLiteral("CopyAction"))->trigger();
        TJamBase copy(Target, "X", "");
        copy.CodePages = TCodePagePair::Identity();
        copy.DoNotIgnoreSoftCR = true;
        copy.Rescan();
        QCOMPARE(copy.GetCount(), 1);
        TMsgHandle msg = copy.GetMsg(0);
        QCOMPARE(msg->GetBody().at(0).Text, text);
        QCOMPARE(msg->Subject, text);
        QCOMPARE(msg->FromName, std::string("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"));
    }

    // Cancel works between two messages: of 50 marked, the 20 moved are in the target only and
    // unmarked, the other 30 stay marked in the source.
    void cancelAMoveHalfWay() {
        std::vector<tavro::test::TJamPost> posts(50, {"Ivan", "subject"});
        OpenReader(posts);
        TJamBase source(Source, "X", ""), target(Target, "X", "");
        source.Rescan();
        target.Rescan();
        std::set<TMsgId> marks;
        std::vector<TMsgId> ids;
        for (int p = 0; p < 50; ++p)
            ids.push_back(source.GetMsgId(p));
        marks.insert(ids.begin(), ids.end());
        TMsgTransfer transfer(source, target, true);
        TTransferForm* shown = nullptr;
        int steps = 0;
        TTransferForm dialog(
            TTransferForm::tmMove, ids,
            [&](TMsgId id) {
                if (++steps == 20)
                    shown->Cancel();
                return transfer.Step(id);
            },
            [&] { return transfer.Flush(); },
            [&](const std::vector<TMsgId>& done) {
                for (TMsgId id : done)
                    marks.erase(id);
            });
        shown = &dialog;
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(marks.size(), size_t(30));
        QCOMPARE(Count(Target), 20);
        QCOMPARE(Count(Source), 30);
        QCOMPARE(TTransferForm::Title(TTransferForm::tmMove), QStringLiteral(" Move"));
    }

    // The default name comes from the subject; the text filter adds ".txt"; the file is
    // UTF-8 text for people.
    void writeToFile() {
        OpenReader({{"\xC8\xE2\xE0\xED", "Re: a/b?"}}); // "Иван", in the display code page
        const QString path = Home->filePath(QStringLiteral("export"));
        QString offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        Reader->Action(QStringLiteral("WriteAction"))->trigger();
        QCOMPARE(offered, QStringLiteral("Re# a#b#"));
        QFile file(path + QStringLiteral(".txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains(QStringLiteral("Иван")));
        QVERIFY(!text.contains(QLatin1Char('\r')));
        QCOMPARE(Reader->Area()->Marks().Count(), 0);
    }
};

QTEST_MAIN(ReaderOperationsTest)
#include "ReaderOperationsTest.moc"
