#include "widgets/UserColors.h"
#include "widgets/ShortCutCodes.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

class UserColorsTest : public QObject {
    Q_OBJECT
private slots:
    void storedColourToQt_data() {
        QTest::addColumn<uint>("stored");
        QTest::addColumn<QColor>("shown");
        QPalette palette = DistinctPalette();
        QTest::newRow("red is the low byte") << 0x000000FFu << QColor(255, 0, 0);
        QTest::newRow("blue is the third byte") << 0x00FF0000u << QColor(0, 0, 255);
        QTest::newRow("mixed") << 0x00804020u << QColor(0x20, 0x40, 0x80);
        QTest::newRow("window background") << 0xFF000005u << palette.color(QPalette::Base);
        QTest::newRow("window text") << 0xFF000008u << palette.color(QPalette::Text);
        QTest::newRow("highlight") << 0xFF00000Du << palette.color(QPalette::Highlight);
        QTest::newRow("highlighted text") << 0xFF00000Eu << palette.color(QPalette::HighlightedText);
        QTest::newRow("button face") << 0xFF00000Fu << palette.color(QPalette::Button);
        QTest::newRow("grey text is disabled text")
            << 0xFF000011u << palette.color(QPalette::Disabled, QPalette::Text);
        QTest::newRow("unknown system colour reads as window text")
            << 0xFF0000C8u << palette.color(QPalette::WindowText);
        // Old palette-relative values keep their RGB part instead of failing.
        QTest::newRow("palette-relative value") << 0x02102030u << QColor(0x30, 0x20, 0x10);
    }
    void storedColourToQt() {
        QFETCH(uint, stored);
        QFETCH(QColor, shown);
        QCOMPARE(ToQColor(stored, DistinctPalette()), shown);
    }

    void chosenColourIsStoredAsRgb() {
        QCOMPARE(FromQColor(QColor(0x12, 0x34, 0x56)), TColor{0x00563412});
        QCOMPARE(FromQColor(QColor(0x12, 0x34, 0x56, 0x10)), TColor{0x00563412});
        QCOMPARE(FromQColor(QColor::fromHsv(0, 255, 255)), TColor{0x000000FF});
    }

    void missingFontFamilyFallsBackToTheSystemFont() {
        const QFont fixed = ToQFont({"Courier New", 204, 12}, true);
        QCOMPARE(fixed.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QCOMPARE(fixed.pointSize(), 12);
        const QFont general = ToQFont({"MS Sans Serif", 204, 8}, false);
        QCOMPARE(general.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());

        const QFont installed = ToQFont({"DejaVu Sans", 204, 9}, true);
        QCOMPARE(installed.family(), QStringLiteral("DejaVu Sans"));
        // A damaged size gives the system font's own size.
        QCOMPARE(ToQFont({"DejaVu Sans", 204, -3}, false).pointSize(),
                 QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSize());

        const TUserFont stored =
            FromQFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11), {"Courier New", 204, 10});
        QCOMPARE(stored, (TUserFont{"DejaVu Sans Mono", 204, 11}));
    }

    void hotKeyCodes_data() {
        QTest::addColumn<uint>("stored");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("ctrl letter") << 0x4041u << QKeyCombination(Qt::ControlModifier, Qt::Key_A)
                                     << QStringLiteral("Ctrl+A");
        QTest::newRow("function key") << 0x0071u << QKeyCombination(Qt::Key_F2) << QStringLiteral("F2");
        QTest::newRow("alt shift digit")
            << 0xA033u << QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_3)
            << QStringLiteral("Alt+Shift+3");
        QTest::newRow("delete") << 0x002Eu << QKeyCombination(Qt::Key_Delete) << QStringLiteral("Del");
        QTest::newRow("keypad digit")
            << 0x0065u << QKeyCombination(Qt::KeypadModifier, Qt::Key_5) << QStringLiteral("Num+5");
        QTest::newRow("keypad minus is not the minus key")
            << 0x006Du << QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus) << QStringLiteral("Num+-");
        QTest::newRow("minus key") << 0x40BDu << QKeyCombination(Qt::ControlModifier, Qt::Key_Minus)
                                   << QStringLiteral("Ctrl+-");
    }
    void hotKeyCodes() {
        QFETCH(uint, stored);
        QFETCH(QKeyCombination, key);
        QFETCH(QString, text);
        QCOMPARE(ShortCutToKey(static_cast<uint16_t>(stored)), key);
        QCOMPARE(uint{KeyToShortCut(key)}, stored);
        QCOMPARE(ShortCutText(static_cast<uint16_t>(stored)), text);
    }

    void keysWithoutACodeAreKeptOrRefused() {
        // Qt reports Shift+1 as "!"; it is stored as the key under it.
        QCOMPARE(uint{KeyToShortCut(QKeyCombination(Qt::ShiftModifier, Qt::Key_Exclam))}, 0x2031u);
        QCOMPARE(uint{KeyToShortCut(QKeyCombination(Qt::MetaModifier, Qt::Key_A))}, 0u);
        QCOMPARE(uint{KeyToShortCut(QKeyCombination(Qt::Key_Launch0))}, 0u);
        // A code Qt has no key for still shows, so it can be seen and deleted.
        QCOMPARE(ShortCutText(0x40FF), QStringLiteral("Ctrl+0xFF"));
    }

private:
    static QPalette DistinctPalette() {
        QPalette palette;
        int shade = 10;
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (role == QPalette::NoRole) {
                continue;
            }
            for (const QPalette::ColorGroup group :
                 {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                palette.setColor(group, static_cast<QPalette::ColorRole>(role),
                                 QColor(shade, 255 - shade, 77));
                shade += 3;
            }
        }
        return palette;
    }
};

QTEST_MAIN(UserColorsTest)
#include "UserColorsTest.moc"
