#include "reader/UkrainianInputFilter.h"

#include <QtTest>

using namespace tavro::app;

class UkrainianInputFilterTest : public QObject {
    Q_OBJECT
private slots:
    void replacesOnlyOnAUkrainianLayout_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("capital") << QStringLiteral("\u0406") << QLocale::Ukrainian << QStringLiteral("I");
        QTest::newRow("small") << QStringLiteral("\u0456") << QLocale::Ukrainian << QStringLiteral("i");
        QTest::newRow("other letter")
            << QStringLiteral("\u0457") << QLocale::Ukrainian << QStringLiteral("\u0457");
        QTest::newRow("Russian layout")
            << QStringLiteral("\u0456") << QLocale::Russian << QStringLiteral("\u0456");
    }
    void replacesOnlyOnAUkrainianLayout() {
        QFETCH(QString, text);
        QFETCH(QLocale::Language, language);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceUkrainianI(text, QLocale(language)), expected);
    }
};

QTEST_MAIN(UkrainianInputFilterTest)
#include "UkrainianInputFilterTest.moc"
