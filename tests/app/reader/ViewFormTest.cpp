#include "reader/ViewForm.h"

#include <QtTest>

using namespace tavro::app;

class ViewFormTest : public QObject {
    Q_OBJECT
private slots:
    void hasItsCaption() {
        TViewForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Viewer"));
    }
};

QTEST_MAIN(ViewFormTest)
#include "ViewFormTest.moc"
