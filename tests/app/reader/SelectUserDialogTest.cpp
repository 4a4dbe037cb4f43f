#include "reader/SelectUserDialog.h"

#include "config/Config.h"
#include "config/ConfigFile.h"
#include "config/User.h"
#include "config/UsersFile.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tavro;
using namespace tavro::app;

namespace {

void AddUsers(TConfig& config, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        config.Users.push_back(config.NewUser());
        config.Users.back()->Name = name;
    }
}

QPoint ItemCentre(QListWidget* list, int row) {
    return list->visualItemRect(list->item(row)).center();
}

// What a mouse sends for a double click: a click, then the double click.
void DoubleClick(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, ItemCentre(list, row));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, ItemCentre(list, row));
}

// Closes the modal dialog that will be on top once the event loop runs again, past any
// checks of its own: only the answer matters here.
void AnswerNextDialog(bool accept) {
    QTimer::singleShot(0, [accept] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->done(accept ? QDialog::Accepted : QDialog::Rejected);
    });
}

} // namespace

class SelectUserDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Home = std::make_unique<QTemporaryDir>();
        qputenv("TAVRO_HOME", Home->path().toLocal8Bit());
        Settings = std::make_unique<TConfig>();
        AddUsers(*Settings, {"Alice Point", "Bob Node"});
        Form = std::make_unique<TSelectUserForm>(*Settings);
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        List = Form->findChild<QListWidget*>(QStringLiteral("UserList"));
        OK = Form->findChild<QPushButton*>(QStringLiteral("OKBtn"));
    }
    void cleanup() {
        Form.reset();
        Settings.reset();
        Config().Users.clear();
    }

    void okWaitsForAClick() {
        QCOMPARE(List->count(), 2);
        QCOMPARE(List->item(0)->text(), QStringLiteral("Alice Point"));
        QCOMPARE(List->item(1)->text(), QStringLiteral("Bob Node"));
        QVERIFY(!OK->isEnabled());
        QTest::keyClick(Form.get(), Qt::Key_Return); // the disabled default does nothing
        QVERIFY(Form->isVisible());

        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, ItemCentre(List, 1));
        QVERIFY(OK->isEnabled());
        QTest::mouseClick(OK, Qt::LeftButton);
        QCOMPARE(Form->result(), int(QDialog::Accepted));
        QCOMPARE(Form->ChosenUser(), Settings->Users[1].get());
    }

    void doubleClickChooses() {
        DoubleClick(List, 0);
        QVERIFY(!Form->isVisible());
        QCOMPARE(Form->result(), int(QDialog::Accepted));
        QCOMPARE(Form->ChosenUser(), Settings->Users[0].get());
    }

    void newUserAcceptedIsChosenAndSaved() {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("Name"))->setText(QStringLiteral("Carol Point"));
            dialog->accept();
        });
        QTest::mouseClick(Form->findChild<QPushButton*>(QStringLiteral("NewBtn")), Qt::LeftButton);
        QCOMPARE(Settings->Users.size(), size_t(3));
        QCOMPARE(Form->result(), int(QDialog::Accepted));
        QCOMPARE(Form->ChosenUser(), Settings->Users[2].get());
        // Users live in their own file: the new one must be there at once, not at exit.
        TConfig saved;
        LoadUsers(saved, UsersFileName(Home->path().toStdString()));
        QCOMPARE(saved.Users.size(), size_t(3));
        QCOMPARE(saved.Users[2]->Name, std::string("Carol Point"));
        QCOMPARE(saved.Users[2]->UserId, Settings->Users[2]->UserId);
    }

    void newUserCancelledIsDiscarded() {
        AnswerNextDialog(false);
        QTest::mouseClick(Form->findChild<QPushButton*>(QStringLiteral("NewBtn")), Qt::LeftButton);
        QCOMPARE(Settings->Users.size(), size_t(2));
        QVERIFY(Form->isVisible());
        QVERIFY(!Form->ChosenUser());
        QVERIFY(!QFile::exists(QString::fromStdString(ConfigFileName(Home->path().toStdString()))));
    }

    void selectUserAnswersFromTheProgramsUsers() {
        QVERIFY(Config().Users.empty());
        QCOMPARE(SelectUser(nullptr), nullptr); // returns at once: no dialog to answer

        AddUsers(Config(), {"Carol", "Dave"});
        QTimer::singleShot(0, [] {
            auto* form = qobject_cast<TSelectUserForm*>(QApplication::activeModalWidget());
            QVERIFY(form);
            auto* list = form->findChild<QListWidget*>(QStringLiteral("UserList"));
            DoubleClick(list, 1);
        });
        QCOMPARE(SelectUser(nullptr), Config().Users[1].get());

        AnswerNextDialog(false);
        QCOMPARE(SelectUser(nullptr), nullptr);
    }

private:
    std::unique_ptr<QTemporaryDir> Home;
    std::unique_ptr<TConfig> Settings;
    std::unique_ptr<TSelectUserForm> Form;
    QListWidget* List = nullptr;
    QPushButton* OK = nullptr;
};

QTEST_MAIN(SelectUserDialogTest)
#include "SelectUserDialogTest.moc"
