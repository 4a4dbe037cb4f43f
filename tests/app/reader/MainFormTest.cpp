#include "reader/MainForm.h"
#include "reader/SingleInstance.h"
#include "reader/ViewForm.h"
#include "widgets/MessageDialog.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/User.h"
#include "config/UsersFile.h"
#include "nodelist/Nodelist.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <future>

using namespace tavro;
using namespace tavro::app;

namespace {

void ResetConfig() {
    TConfig& config = Config();
    config.Echoes.clear();
    config.Users.clear();
    config.ABUsers.clear();
    config.ABGroups.clear();
    config.Templates.clear();
    config.Settings = TGlobalSettings{};
    config.Settings.SetMaxMsgLen(16);
    config.CreateDefaultTemplates();
    config.MainOrigin = config.UsersOrigin = config.BookOrigin = TFileOrigin{};
}

// Answers the next modal dialog: records its caption and rejects it.
void RejectNextModal(QString* caption) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, caption] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            *caption = modal->windowTitle();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> Home;

    std::string HomePath() const { return Home->path().toStdString(); }

    void WriteUsers(std::initializer_list<int> ids) {
        TConfig& config = Config();
        for (int id : ids) {
            auto user = config.NewUser();
            user->Name = "User " + std::to_string(id);
            user->UserId = id;
            config.Users.push_back(std::move(user));
        }
        SaveConfig(config, ConfigFileName(HomePath()));
        SaveUsers(config, UsersFileName(HomePath()));
        ResetConfig();
    }

private slots:
    void init() {
        Home = std::make_unique<QTemporaryDir>();
        qputenv("TAVRO_HOME", Home->path().toUtf8());
        ResetConfig();
        ClearMessageDlgRecord();
    }

    void cancellingTheFirstUserEndsTheProgram() {
        QString caption;
        RejectNextModal(&caption);
        TMainForm shell({});
        QVERIFY(!shell.Start());
        QCOMPARE(shell.ExitCode(), 0);
        QCOMPARE(caption, QStringLiteral("Create first user"));
        QVERIFY(Config().Users.empty());
    }

    void damagedConfigurationEndsWithTheStartUpError() {
        QFile file(QString::fromStdString(ConfigFileName(HomePath())));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Tavro020 this is not a configuration file");
        file.close();
        QueueMessageDlgAnswer(mrOk);
        TMainForm shell({});
        QVERIFY(!shell.Start());
        QCOMPARE(shell.ExitCode(), 1);
        QCOMPARE(RecordedMessageDlgCalls().size(), size_t(1));
        QCOMPARE(RecordedMessageDlgCalls()[0].Text,
                 QStringLiteral(
                     "Error reading config files. Execution is not possible. Press any key to continue or "
                     "other key to exit."));
        QCOMPARE(RecordedMessageDlgCalls()[0].Type, mtError);
    }

    // The tosser's configuration names an include that is gone: the program says so and
    // starts with the areas it has.
    void anUnreadableTosserConfigurationStartsWithTheStoredAreas() {
        const QString fido = Home->path() + "/fido";
        QVERIFY(QDir().mkpath(fido));
        QFile tosser(fido + "/config");
        QVERIFY(tosser.open(QIODevice::WriteOnly));
        tosser.write("Address 2:5020/1042.7\nInclude " + fido.toUtf8() + "/gone/areas\n");
        tosser.close();
        TConfig& config = Config();
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = "STORED.AREA";
        config.Settings.TosserType = 4;
        config.Settings.TosserCfgPath = (fido + "/config").toStdString();
        config.Settings.AutoLoadConfig = true;
        WriteUsers({0});
        QueueMessageDlgAnswer(mrOk);
        TMainForm shell({});
        QVERIFY(shell.Start());
        QVERIFY(!RecordedMessageDlgCalls().empty());
        QCOMPARE(RecordedMessageDlgCalls()[0].Type, mtWarning);
        QVERIFY(RecordedMessageDlgCalls()[0].Text.startsWith(QStringLiteral(
            "The tosser configuration could not be imported; Tavro starts with the stored areas.")));
        QVERIFY(RecordedMessageDlgCalls()[0].Text.contains(QStringLiteral("gone/areas")));
        QCOMPARE(Config().Echoes.size(), size_t(1));
        QCOMPARE(Config().Echoes[0]->Name, std::string("STORED.AREA"));
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
    }

    void uidArgumentChoosesTheUser_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("expected");
        QTest::newRow("upper case") << "-UID=3" << 3;
        QTest::newRow("lower case") << "-uid=1" << 1;
    }

    void uidArgumentChoosesTheUser() {
        QFETCH(QString, argument);
        QFETCH(int, expected);
        WriteUsers({1, 3});
        TMainForm shell({QStringLiteral("--other"), argument, QStringLiteral("-UID=1")});
        QVERIFY(shell.Start());
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
        QCOMPARE(shell.Viewer()->CurrentUser()->UserId, expected);
    }

    void unusableUidOpensTheUserSelection() {
        WriteUsers({1, 3});
        QString caption;
        RejectNextModal(&caption);
        TMainForm shell({QStringLiteral("-UID=abc"), QStringLiteral("-UID=1")});
        QSignalSpy finished(&shell, &TMainForm::Finished);
        QVERIFY(shell.Start());
        // Nobody chosen: the reader closes and the program ends.
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(caption, QStringLiteral("Select user..."));
        QVERIFY(shell.Viewer()->CurrentUser() == nullptr);
    }

    void exitAsksFirstWhenConfirmationIsOn() {
        WriteUsers({0});
        TMainForm shell({});
        QSignalSpy finished(&shell, &TMainForm::Finished);
        QVERIFY(shell.Start());
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
        Config().Settings.ConfirmExit = true;
        // Gone before the exit, so only the exit can bring it back.
        const QString users = QString::fromStdString(UsersFileName(HomePath()));
        QVERIFY(QFile::remove(users));
        Config().Users[0]->RealName = "Changed while running";
        QueueMessageDlgAnswer(mrNo);
        shell.ExitCommand();
        QCOMPARE(RecordedMessageDlgCalls().back().Text, QStringLiteral("Do you want to quit Tavro?"));
        QTest::qWait(20);
        QVERIFY(shell.Viewer()->isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(!QFile::exists(users));
        QueueMessageDlgAnswer(mrYes);
        shell.ExitCommand();
        QTRY_COMPARE(finished.count(), 1);
        TConfig saved;
        LoadUsers(saved, users.toStdString());
        QCOMPARE(saved.Users.size(), size_t(1));
        QCOMPARE(saved.Users[0]->Name, std::string("User 0"));
        QCOMPARE(saved.Users[0]->RealName, std::string("Changed while running"));
    }

    // Quoted arguments with spaces reach the program whole.
    void exitRunsTheConfiguredCommand() {
        WriteUsers({0});
        TMainForm shell({});
        QSignalSpy finished(&shell, &TMainForm::Finished);
        QVERIFY(shell.Start());
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
        const QString script = Home->path() + "/on exit.sh", marker = Home->path() + "/ran on exit.txt";
        QFile scriptFile(script);
        QVERIFY(scriptFile.open(QIODevice::WriteOnly));
        scriptFile.write("printf '%s' \"$1\" > \"$2\"\n");
        scriptFile.close();
        Config().Settings.ConfirmExit = false;
        Config().Settings.RunOnExit =
            ("  sh \"" + script + "\" \"both words\" \"" + marker + "\"  ").toStdString();
        shell.ExitCommand();
        QTRY_COMPARE(finished.count(), 1);
        QFile file(marker);
        QTRY_VERIFY(file.exists() && file.size() > 0);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("both words"));
    }

    void failedSaveAsksAndYesKeepsTheProgram() {
        WriteUsers({0});
        TMainForm shell({});
        QSignalSpy finished(&shell, &TMainForm::Finished);
        QVERIFY(shell.Start());
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
        Config().Settings.ConfirmExit = false;
        // A directory where the users file belongs cannot be replaced by the new file.
        const QString users = QString::fromStdString(UsersFileName(HomePath()));
        QVERIFY(QFile::remove(users));
        QVERIFY(QDir().mkpath(users + "/blocked"));
        QueueMessageDlgAnswer(mrYes);
        shell.ExitCommand();
        QTRY_VERIFY(!RecordedMessageDlgCalls().empty());
        QCOMPARE(RecordedMessageDlgCalls().back().Text,
                 QStringLiteral("Error saving config files. Don't quit Tavro?"));
        QTRY_VERIFY(shell.Viewer()->isVisible());
        QCOMPARE(finished.count(), 0);
        QueueMessageDlgAnswer(mrNo);
        shell.ExitCommand();
        QTRY_COMPARE(finished.count(), 1);
    }

    void sigtermShutsDownAndSavesTheUsers() {
        WriteUsers({0});
        TMainForm shell({});
        QSignalSpy finished(&shell, &TMainForm::Finished);
        QVERIFY(shell.Start());
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
        Config().Settings.ConfirmExit = true; // the exit question is not asked
        const QString users = QString::fromStdString(UsersFileName(HomePath()));
        QVERIFY(QFile::remove(users));
        ::raise(SIGTERM);
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(QFile::exists(users));
        QVERIFY(RecordedMessageDlgCalls().empty());
        ResetConfig();
        LoadUsers(Config(), users.toStdString());
        QCOMPARE(Config().Users.size(), size_t(1));
    }

    void nodelistTimerCompilesChangedNodelistsSilently() {
        WriteUsers({0});
        TMainForm shell({});
        QVERIFY(shell.Start());
        QTRY_VERIFY(shell.Viewer()->CurrentUser() != nullptr);
        const QString dir = Home->path() + "/nodelist";
        QVERIFY(QDir().mkpath(dir));
        Config().Settings.NdlDir = dir.toStdString();
        Config().Settings.NdlMasks = {"nodelist.*"};
        QFile list(dir + "/nodelist.123");
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(
            "Zone,2,Europe,Earth,Zone_Coord,1-1,33600\r\nHost,5020,Moscow,Moscow,Host_Coord,1-2,33600\r\n"
            ",1042,Station,Moscow,Ivan_Petrov,1-3,33600\r\n");
        list.close();
        shell.NodelistTimerTick();
        QCOMPARE(NodelistIndex().Entries().size(), size_t(3));
        QVERIFY(shell.Viewer()->StatusText(2).isEmpty());
        // A directory where the index belongs: the compilation fails without a word.
        QVERIFY(QFile::remove(dir + "/Tavro.ndx"));
        QVERIFY(QFile::remove(dir + "/Tavro.nls"));
        QVERIFY(QDir().mkpath(dir + "/Tavro.ndx/x"));
        shell.NodelistTimerTick();
        QVERIFY(RecordedMessageDlgCalls().empty());
        QCOMPARE(NodelistIndex().Entries().size(), size_t(3)); // the old index stays in use
        QVERIFY(shell.Viewer()->StatusText(2).isEmpty());
    }

    void secondCopyLearnsWhetherToEnd() {
        const QString name = QStringLiteral("tavro-test-%1").arg(QCoreApplication::applicationPid());
        auto ask = [&name] {
            auto answer = std::async(std::launch::async,
                                     [name] { return TSingleInstance::RunningCopyTakesOver(name); });
            while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
                QCoreApplication::processEvents();
            return answer.get();
        };
        QVERIFY(!ask()); // nobody listens
        int reply = 0;
        {
            TSingleInstance first;
            QVERIFY(first.Listen([&reply] { return reply; }, name));
            QVERIFY(!ask());
            reply = -1;
            QVERIFY(ask());
            TSingleInstance second;
            QVERIFY(!second.Listen([] { return 0; }, name)); // the live copy keeps its name
        }
        QVERIFY(!ask());
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
