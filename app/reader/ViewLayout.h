#pragma once

#include "widgets/WindowPlacement.h"

#include <QList>

#include <optional>

class QSettings;

namespace tavro::app {

// The message-list column widths after applying a saved "SubjColSize" value: the value is
// split into words at commas and blanks (empty items are skipped) and the k-th word, when it
// is a plausible positive width, replaces the k-th width. Other words change nothing.
QList<int> ParseSubjColSize(const QString& value, QList<int> widths);
QString FormatSubjColSize(const QList<int>& widths);

// Everything section "Viewer" holds, as read or to be written. Flags are 0/1 in the file.
struct TViewLayout : TWindowPlacement {
    bool FullScreen = false;
    bool BigTree = false;
    bool ThreadsView = false;
    QString SubjColSize;
    std::optional<int> LeftPanelWidth;
    std::optional<int> TopPanelHeight;
};

// Reads the current group of `settings`; missing or broken values give the defaults.
TViewLayout ReadViewLayout(QSettings& settings);
void WriteViewLayout(QSettings& settings, const TViewLayout& layout);

} // namespace tavro::app
