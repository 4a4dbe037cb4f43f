#include "MainForm.h"

#include "ViewForm.h"
#include "widgets/Resources.h"

#include <QApplication>

namespace tavro::app {

int RunTavro(QApplication& application) {
    InitResources();
    application.setApplicationName(QStringLiteral("Tavro"));
    TViewForm viewer;
    viewer.show();
    return application.exec();
}

} // namespace tavro::app
