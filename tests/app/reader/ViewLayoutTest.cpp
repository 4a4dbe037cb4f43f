#include "reader/ViewLayout.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavro::app;

namespace {

const QList<int> Designed{40, 100, 100, 250, 70};

} // namespace

class ViewLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void subjColSizeReplacesOnlyUsableWords_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("empty keeps the designed widths") << QString() << Designed;
        QTest::newRow("zeroes change nothing") << "0,0,120" << QList<int>{40, 100, 120, 250, 70};
        QTest::newRow("an empty item is skipped") << "0,,120" << QList<int>{40, 120, 100, 250, 70};
        QTest::newRow("blanks separate too") << " 30 60,  90" << QList<int>{30, 60, 90, 250, 70};
        QTest::newRow("words past the columns are ignored") << "1,2,3,4,5,6,7" << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("non-numbers and negatives") << "x,-5,1e3,200" << QList<int>{40, 100, 100, 200, 70};
        QTest::newRow("absurd widths") << "99999999999,50000,7" << QList<int>{40, 100, 7, 250, 70};
    }
    void subjColSizeReplacesOnlyUsableWords() {
        QFETCH(QString, value);
        QFETCH(QList<int>, widths);
        QCOMPARE(ParseSubjColSize(value, Designed), widths);
    }

    void subjColSizeIsWrittenAsTheDesignShowsIt() {
        QCOMPARE(FormatSubjColSize(Designed), QStringLiteral("40,100,100,250,70"));
        QCOMPARE(ParseSubjColSize(FormatSubjColSize({1, 2, 3, 4, 5}), Designed), (QList<int>{1, 2, 3, 4, 5}));
    }

    void toolbarPosNeedsThreeNumbers_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("r");
        QTest::newRow("plain") << "10,20,300" << true << 10 << 20 << 300;
        QTest::newRow("items are trimmed") << " -4 , 7 ,90 " << true << -4 << 7 << 90;
        QTest::newRow("more items than three") << "1,2,3,4" << true << 1 << 2 << 3;
        QTest::newRow("empty") << "" << false << 0 << 0 << 0;
        QTest::newRow("two items") << "10,20" << false << 0 << 0 << 0;
        QTest::newRow("an empty item") << "10,,300" << false << 0 << 0 << 0;
        QTest::newRow("not a number") << "a,2,3" << false << 0 << 0 << 0;
        QTest::newRow("blank-separated") << "10 20 300" << false << 0 << 0 << 0;
        QTest::newRow("far off any screen") << "10,20,99999999" << false << 0 << 0 << 0;
    }
    void toolbarPosNeedsThreeNumbers() {
        QFETCH(QString, value);
        QFETCH(bool, valid);
        const auto pos = ParseToolbarPos(value);
        QCOMPARE(pos.has_value(), valid);
        if (valid) {
            QFETCH(int, x);
            QFETCH(int, y);
            QFETCH(int, r);
            QCOMPARE(*pos, (TToolbarPos{x, y, r}));
            QCOMPARE(ParseToolbarPos(FormatToolbarPos(*pos)), pos);
        }
    }

    void dockNamesMapToToolbarAreas() {
        const struct {
            const char* name;
            std::optional<Qt::ToolBarArea> area;
        } cases[] = {
            {"TopDock", Qt::TopToolBarArea},   {"bottomdock", Qt::BottomToolBarArea},
            {"LeftDock", Qt::LeftToolBarArea}, {"RIGHTDOCK", Qt::RightToolBarArea},
            {"(none)", std::nullopt},          {"", std::nullopt},
            {"TopDock2", std::nullopt},
        };
        for (const auto& c : cases) {
            QCOMPARE(ToolbarAreaOfDock(QString::fromLatin1(c.name)), c.area);
            if (c.area)
                QCOMPARE(ToolbarAreaOfDock(DockOfToolbarArea(*c.area)), c.area);
        }
    }

    // The file is the user's to edit: unquoted lists, garbage and gaps must not break it.
    void readsHandEditedAndBrokenFiles() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("tavro.ini"));
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Viewer]\n"
                  "SubjColSize=0,,120\n"
                  "ToolbarPos=5, 6, 70\n"
                  "State=7\n"
                  "Fullscreen=yes\n"
                  "BigTree=2\n"
                  "ToolbarVisible=0\n"
                  "Left=10\nTop=20\nWidth=-3\nHeight=400\n"
                  "LeftPanelWidth=180\n");
        ini.close();
        QSettings settings(file, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Viewer"));
        const TViewLayout layout = ReadViewLayout(settings);
        QCOMPARE(layout.SubjColSize, QStringLiteral("0,,120"));
        QCOMPARE(layout.ToolbarPos, QStringLiteral("5,6,70"));
        QCOMPARE(layout.State, 0);
        QVERIFY(!layout.FullScreen);
        QVERIFY(layout.BigTree);
        QVERIFY(!layout.ThreadsView);
        QVERIFY(!layout.ToolbarVisible);
        QCOMPARE(layout.ToolbarDock, QStringLiteral("TopDock"));
        QVERIFY(!layout.Geometry.has_value());
        QCOMPARE(layout.LeftPanelWidth, std::optional<int>(180));
        QVERIFY(!layout.TopPanelHeight.has_value());
    }

    void writtenLayoutReadsBack() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("tavro.ini"));
        TViewLayout written;
        written.Geometry = QRect(-20, 30, 640, 480);
        written.State = 2;
        written.FullScreen = true;
        written.ThreadsView = true;
        written.SubjColSize = QStringLiteral("41,101,102,251,71");
        written.ToolbarVisible = false;
        written.ToolbarDock = QStringLiteral("(none)");
        written.ToolbarPos = QStringLiteral("1,2,300");
        written.ToolbarState = QByteArray("\x00\xff state", 8);
        written.LeftPanelWidth = 123;
        written.TopPanelHeight = 0;
        {
            QSettings settings(file, QSettings::IniFormat);
            settings.beginGroup(QStringLiteral("Viewer"));
            WriteViewLayout(settings, written);
        }
        QSettings settings(file, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Viewer"));
        const TViewLayout read = ReadViewLayout(settings);
        QCOMPARE(read.Geometry, written.Geometry);
        QCOMPARE(read.State, 2);
        QCOMPARE(read.FullScreen, true);
        QCOMPARE(read.BigTree, false);
        QCOMPARE(read.ThreadsView, true);
        QCOMPARE(read.SubjColSize, written.SubjColSize);
        QCOMPARE(read.ToolbarVisible, false);
        QCOMPARE(read.ToolbarDock, written.ToolbarDock);
        QCOMPARE(read.ToolbarPos, written.ToolbarPos);
        QCOMPARE(read.ToolbarState, written.ToolbarState);
        QCOMPARE(read.LeftPanelWidth, written.LeftPanelWidth);
        QCOMPARE(read.TopPanelHeight, written.TopPanelHeight);
    }
};

QTEST_MAIN(ViewLayoutTest)
#include "ViewLayoutTest.moc"
