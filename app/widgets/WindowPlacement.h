#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <Qt>

#include <optional>

class QMainWindow;
class QSettings;
class QToolBar;
class QWidget;

namespace tavro::app {

// The layout file of the program's windows: "tavro.ini" in the configuration directory.
QString LayoutFileName();

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

// Values of the layout file, which is untrusted: missing or broken values give the fallback.
QString SettingText(QSettings& settings, const QString& key, const QString& fallback = QString());
std::optional<int> SettingNumber(QSettings& settings, const QString& key, int min, int max);
bool SettingFlag(QSettings& settings, const QString& key, bool fallback);

// What every main window keeps of its place: frame, state and toolbar.
struct TWindowPlacement {
    std::optional<QRect> Geometry; // the window's normal (not maximised) frame
    int State = 0;                 // 0 normal, 1 minimised, 2 maximised
    bool ToolbarVisible = true;
    QString ToolbarDock = QStringLiteral("TopDock");
    QString ToolbarPos;
    QByteArray ToolbarState; // Qt's record of a floating toolbar, which Qt alone can restore
};

// Reads the current group of `settings`.
TWindowPlacement ReadWindowPlacement(QSettings& settings);
void WriteWindowPlacement(QSettings& settings, const TWindowPlacement& placement);

TWindowPlacement CurrentPlacement(const QMainWindow* window, const QToolBar* toolbar, bool toolbarVisible);
// The saved frame is kept on a screen: the file may come from another display setup.
void RestoreFrame(QWidget* window, const std::optional<QRect>& geometry);
// The saved state (0 normal, 1 minimised, 2 maximised), set before the window is first
// mapped so that it opens that way at once.
void ApplySavedState(QWidget* window, int state);
// Docks the toolbar where the placement says, or floats it where it was.
void RestoreToolbar(QMainWindow* window, QToolBar* toolbar, const TWindowPlacement& placement,
                    bool toolbarVisible);

} // namespace tavro::app
