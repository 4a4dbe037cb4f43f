#include "widgets/FtnData.h"

#include <QImage>
#include <QtTest>

using namespace tavro::app;

namespace {

// True when the picture has some opaque pixels and some transparent ones: drawn, and not a
// filled square.
bool LooksDrawn(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) > 128;
    return opaque > 10 && opaque < image.width() * image.height();
}

} // namespace

class FtnDataTest : public QObject {
    Q_OBJECT
private slots:
    void everyImageIndexHasAPicture() {
        for (int index : {4, 5, 6, 7, 10, 11, 30, 31, 32, 33, 60}) {
            QVERIFY(TFTNData::HasImage(index));
            const QPixmap pixmap = TFTNData::Pixmap(index);
            QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(16, 16));
            QVERIFY2(LooksDrawn(pixmap), qPrintable(QString::number(index)));
        }
        for (int index : {-1, 0, 8, 12, 34, 61})
            QVERIFY(TFTNData::Icon(index).isNull() && TFTNData::Pixmap(index).isNull());
    }

    void everyCommandHasAnIcon() {
        for (int c = 0; c <= static_cast<int>(TCommandIcon::Setup); ++c) {
            const QIcon icon = TFTNData::CommandIcon(static_cast<TCommandIcon>(c));
            QVERIFY2(LooksDrawn(icon.pixmap(24, 24)), qPrintable(QString::number(c)));
        }
    }

    void messageRowPictures() {
        QCOMPARE(TFTNData::MessageImage(false, false), 30);
        QCOMPARE(TFTNData::MessageImage(false, true), 31);
        QCOMPARE(TFTNData::MessageImage(true, false), 32);
        QCOMPARE(TFTNData::MessageImage(true, true), 33);
    }
};

QTEST_MAIN(FtnDataTest)
#include "FtnDataTest.moc"
