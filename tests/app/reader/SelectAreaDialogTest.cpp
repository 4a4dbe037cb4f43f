// "Select area:": only an area that is not locked can be chosen, a preselected area is
// selected as the dialog opens, and a double click chooses.
#include "reader/SelectAreaDialog.h"

#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

class SelectAreaDialogTest : public QObject {
    Q_OBJECT
private slots:
    void onlyUnlockedAreasAreChosen() {
        TEcho open, locked;
        open.Name = "OPEN.AREA";
        locked.Name = "LOCKED.AREA";
        TUser user;
        auto folder = std::make_unique<TTreeInfo>();
        folder->Name = "Echomail";
        folder->Children.push_back(std::make_unique<TTreeInfo>(&locked));
        folder->Children.back()->Locked = true;
        folder->Children.push_back(std::make_unique<TTreeInfo>(&open));
        user.AreaTree.push_back(std::move(folder));

        TSelectAreaDialog dialog(user, &open);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select area:"));
        QCOMPARE(dialog.Tree()->headerItem()->text(0), QStringLiteral(" User accessable areas"));
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QCOMPARE(dialog.Tree()->currentItem()->text(0), QStringLiteral("OPEN.AREA"));
        QCOMPARE(dialog.SelectedArea(), &open);
        QVERIFY(ok->isEnabled());
        QTreeWidgetItem* folderItem = dialog.Tree()->topLevelItem(0);
        for (QTreeWidgetItem* item : {folderItem, folderItem->child(0)}) {
            dialog.Tree()->setCurrentItem(item);
            QVERIFY(!ok->isEnabled());
            QVERIFY(!dialog.SelectedArea());
        }
        dialog.Tree()->setCurrentItem(folderItem->child(1));
        emit dialog.Tree()->itemDoubleClicked(folderItem->child(1), 0);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(SelectAreaDialogTest)
#include "SelectAreaDialogTest.moc"
