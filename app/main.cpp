#include "reader/MainForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return tavro::app::RunTavro(application);
}
