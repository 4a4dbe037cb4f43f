#pragma once

class QApplication;

namespace tavro::app {

// Runs the program from start-up to shut-down; the process's exit status.
int RunTavro(QApplication& application);

} // namespace tavro::app
