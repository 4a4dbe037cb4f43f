#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <Qt>

#include <optional>

class QSettings;

namespace tavro::app {

// The layout file of the program's windows: "tavro.ini" in the configuration directory.
QString LayoutFileName();

// The message-list column widths after applying a saved "SubjColSize" value: the value is
// split into words at commas and blanks (empty items are skipped) and the k-th word, when it
// is a plausible positive width, replaces the k-th width. Other words change nothing.
QList<int> ParseSubjColSize(const QString& value, QList<int> widths);
QString FormatSubjColSize(const QList<int>& widths);

// A floating toolbar's left and top and its right edge, as "ToolbarPos" keeps them.
struct TToolbarPos {
    int X = 0;
    int Y = 0;
    int R = 0;
    bool operator==(const TToolbarPos&) const = default;
};
// Empty when any of the three items is missing or not a number.
std::optional<TToolbarPos> ParseToolbarPos(const QString& value);
QString FormatToolbarPos(const TToolbarPos& pos);

// The toolbar docks by the names the layout file uses ("TopDock", "BottomDock", "LeftDock",
// "RightDock"; any case). Empty for any other name.
std::optional<Qt::ToolBarArea> ToolbarAreaOfDock(const QString& name);
QString DockOfToolbarArea(Qt::ToolBarArea area);

// Everything section "Viewer" holds, as read or to be written. Flags are 0/1 in the file.
struct TViewLayout {
    std::optional<QRect> Geometry; // the window's normal (not maximised) frame
    int State = 0;                 // 0 normal, 1 minimised, 2 maximised
    bool FullScreen = false;
    bool BigTree = false;
    bool ThreadsView = false;
    QString SubjColSize;
    bool ToolbarVisible = true;
    QString ToolbarDock = QStringLiteral("TopDock");
    QString ToolbarPos;
    QByteArray ToolbarState; // Qt's record of a floating toolbar, which Qt alone can restore
    std::optional<int> LeftPanelWidth;
    std::optional<int> TopPanelHeight;
};

// Reads the current group of `settings`; missing or broken values give the defaults.
TViewLayout ReadViewLayout(QSettings& settings);
void WriteViewLayout(QSettings& settings, const TViewLayout& layout);

} // namespace tavro::app
