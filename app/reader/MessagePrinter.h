#pragma once

#include <QFont>
#include <QStringList>

#include <functional>

class QPlainTextEdit;
class QPrinter;
class QWidget;

namespace tavro::app {

// A fixed-pitch font that holds Cyrillic, 11 points, regular.
QFont PrintFont();

// Lays the lines out as the reader prints: PrintFont in black, 80 columns centred on the page,
// lines from the top, a new page when the next line would not fit; long lines are not broken
// and there is no header or footer. False when the printer cannot be started.
bool PrintLines(QPrinter& printer, const QStringList& lines);

// The print dialog over `parent` for `printer`, which keeps the user's choices for the next
// time; "Selection" is offered only when `hasSelection`. Calls `lines(selectionChosen)` for the
// lines to print and prints them. False when cancelled or when printing could not start.
bool PrintWithDialog(QPrinter& printer, QWidget* parent, bool hasSelection,
                     const std::function<QStringList(bool selection)>& lines);
// The same with a fresh printer.
bool PrintWithDialog(QWidget* parent, bool hasSelection,
                     const std::function<QStringList(bool selection)>& lines);

// The lines that hold the view's selection, whole, as shown; empty without a selection. A
// selection that ends at the very start of a line does not take that line.
QStringList SelectedLines(const QPlainTextEdit& view);

} // namespace tavro::app
