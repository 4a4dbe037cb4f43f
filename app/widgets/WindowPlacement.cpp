#include "WindowPlacement.h"

#include "core/ConfigDir.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QToolBar>

#include <climits>
#include <utility>

namespace tavro::app {

namespace {

// A position beyond any screen is a broken value.
constexpr int MaxCoordinate = 32767;

std::optional<QRect> Geometry(QSettings& settings) {
    const auto left = SettingNumber(settings, QStringLiteral("Left"), -MaxCoordinate, MaxCoordinate);
    const auto top = SettingNumber(settings, QStringLiteral("Top"), -MaxCoordinate, MaxCoordinate);
    const auto width = SettingNumber(settings, QStringLiteral("Width"), 1, MaxCoordinate);
    const auto height = SettingNumber(settings, QStringLiteral("Height"), 1, MaxCoordinate);
    if (!left || !top || !width || !height)
        return std::nullopt;
    return QRect(*left, *top, *width, *height);
}

} // namespace

QString LayoutFileName() {
    return QString::fromStdString(ConfigDir()) + QStringLiteral("/tavro.ini");
}

QString SettingText(QSettings& settings, const QString& key, const QString& fallback) {
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return fallback;
    // QSettings hands back an unquoted value with commas ("0,,120") as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

std::optional<int> SettingNumber(QSettings& settings, const QString& key, int min, int max) {
    bool ok = false;
    const int value = SettingText(settings, key).trimmed().toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

bool SettingFlag(QSettings& settings, const QString& key, bool fallback) {
    const std::optional<int> value = SettingNumber(settings, key, INT_MIN, INT_MAX);
    return value ? *value != 0 : fallback;
}

std::optional<TToolbarPos> ParseToolbarPos(const QString& value) {
    const QStringList items = value.split(QLatin1Char(','));
    if (items.size() < 3)
        return std::nullopt;
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        numbers[i] = items[i].trimmed().toInt(&ok);
        if (!ok || numbers[i] < -MaxCoordinate || numbers[i] > MaxCoordinate)
            return std::nullopt;
    }
    return TToolbarPos{numbers[0], numbers[1], numbers[2]};
}

QString FormatToolbarPos(const TToolbarPos& pos) {
    return QStringLiteral("%1,%2,%3").arg(pos.X).arg(pos.Y).arg(pos.R);
}

namespace {

constexpr std::pair<Qt::ToolBarArea, const char*> Docks[] = {
    {Qt::TopToolBarArea, "TopDock"},
    {Qt::BottomToolBarArea, "BottomDock"},
    {Qt::LeftToolBarArea, "LeftDock"},
    {Qt::RightToolBarArea, "RightDock"},
};

} // namespace

std::optional<Qt::ToolBarArea> ToolbarAreaOfDock(const QString& name) {
    for (const auto& [area, dock] : Docks)
        if (name.compare(QLatin1String(dock), Qt::CaseInsensitive) == 0)
            return area;
    return std::nullopt;
}

QString DockOfToolbarArea(Qt::ToolBarArea area) {
    for (const auto& [a, dock] : Docks)
        if (a == area)
            return QString::fromLatin1(dock);
    return QStringLiteral("TopDock");
}

TWindowPlacement ReadWindowPlacement(QSettings& settings) {
    TWindowPlacement placement;
    placement.Geometry = Geometry(settings);
    placement.State = SettingNumber(settings, QStringLiteral("State"), 0, 2).value_or(0);
    placement.ToolbarVisible = SettingFlag(settings, QStringLiteral("ToolbarVisible"), true);
    placement.ToolbarDock = SettingText(settings, QStringLiteral("ToolbarDock"), placement.ToolbarDock);
    placement.ToolbarPos = SettingText(settings, QStringLiteral("ToolbarPos"));
    placement.ToolbarState =
        QByteArray::fromBase64(SettingText(settings, QStringLiteral("ToolbarState")).toLatin1());
    return placement;
}

void WriteWindowPlacement(QSettings& settings, const TWindowPlacement& placement) {
    if (placement.Geometry) {
        settings.setValue(QStringLiteral("Left"), placement.Geometry->left());
        settings.setValue(QStringLiteral("Top"), placement.Geometry->top());
        settings.setValue(QStringLiteral("Width"), placement.Geometry->width());
        settings.setValue(QStringLiteral("Height"), placement.Geometry->height());
    }
    settings.setValue(QStringLiteral("State"), placement.State);
    settings.setValue(QStringLiteral("ToolbarVisible"), int(placement.ToolbarVisible));
    settings.setValue(QStringLiteral("ToolbarDock"), placement.ToolbarDock);
    settings.setValue(QStringLiteral("ToolbarPos"), placement.ToolbarPos);
    settings.setValue(QStringLiteral("ToolbarState"), QString::fromLatin1(placement.ToolbarState.toBase64()));
}

TWindowPlacement CurrentPlacement(const QMainWindow* window, const QToolBar* toolbar, bool toolbarVisible) {
    TWindowPlacement placement;
    const Qt::WindowStates state = window->windowState();
    const bool normal = !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    placement.Geometry = normal ? QRect(window->pos(), window->size()) : window->normalGeometry();
    placement.State = state & Qt::WindowMinimized ? 1 : state & Qt::WindowMaximized ? 2 : 0;
    placement.ToolbarVisible = toolbarVisible;
    const bool floating = toolbar->isFloating();
    placement.ToolbarDock =
        floating ? QStringLiteral("(none)") : DockOfToolbarArea(window->toolBarArea(toolbar));
    const QRect bar = toolbar->geometry();
    placement.ToolbarPos = FormatToolbarPos({bar.x(), bar.y(), bar.x() + bar.width()});
    if (floating)
        placement.ToolbarState = window->saveState();
    return placement;
}

void RestoreFrame(QWidget* window, const std::optional<QRect>& geometry) {
    if (!geometry)
        return;
    QRect frame = *geometry;
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect room = screen->availableGeometry();
        frame.setSize(frame.size().boundedTo(room.size()));
        if (!room.contains(frame.center()))
            frame.moveCenter(room.center());
    }
    window->resize(frame.size());
    window->move(frame.topLeft());
}

void ApplySavedState(QWidget* window, int state) {
    if (state == 1)
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
    else if (state == 2)
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void RestoreToolbar(QMainWindow* window, QToolBar* toolbar, const TWindowPlacement& placement,
                    bool toolbarVisible) {
    if (const auto area = ToolbarAreaOfDock(placement.ToolbarDock)) {
        window->addToolBar(*area, toolbar);
    } else if (window->findChild<QObject*>(placement.ToolbarDock) == nullptr) {
        // Floating: only Qt's own record can float a toolbar again.
        if (!placement.ToolbarState.isEmpty())
            window->restoreState(placement.ToolbarState);
        toolbar->setVisible(toolbarVisible);
    }
    const auto pos = ParseToolbarPos(placement.ToolbarPos);
    if (pos && toolbar->isFloating()) {
        toolbar->move(pos->X, pos->Y);
        if (pos->R > pos->X)
            toolbar->resize(pos->R - pos->X, toolbar->height());
    }
}

} // namespace tavro::app
