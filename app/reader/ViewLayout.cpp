#include "ViewLayout.h"

#include "core/ConfigDir.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <climits>
#include <utility>

namespace tavro::app {

namespace {

// The layout file is untrusted: a width or position beyond any screen is a broken value.
constexpr int MaxColumnWidth = 10000;
constexpr int MaxCoordinate = 32767;

QString Text(QSettings& settings, const QString& key, const QString& fallback = QString()) {
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return fallback;
    // QSettings hands back an unquoted value with commas ("0,,120") as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

std::optional<int> Number(QSettings& settings, const QString& key, int min, int max) {
    bool ok = false;
    const int value = Text(settings, key).trimmed().toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

bool Flag(QSettings& settings, const QString& key, bool fallback) {
    const std::optional<int> value = Number(settings, key, INT_MIN, INT_MAX);
    return value ? *value != 0 : fallback;
}

std::optional<QRect> Geometry(QSettings& settings) {
    const auto left = Number(settings, QStringLiteral("Left"), -MaxCoordinate, MaxCoordinate);
    const auto top = Number(settings, QStringLiteral("Top"), -MaxCoordinate, MaxCoordinate);
    const auto width = Number(settings, QStringLiteral("Width"), 1, MaxCoordinate);
    const auto height = Number(settings, QStringLiteral("Height"), 1, MaxCoordinate);
    if (!left || !top || !width || !height)
        return std::nullopt;
    return QRect(*left, *top, *width, *height);
}

} // namespace

QString LayoutFileName() {
    return QString::fromStdString(ConfigDir()) + QStringLiteral("/tavro.ini");
}

QList<int> ParseSubjColSize(const QString& value, QList<int> widths) {
    static const QRegularExpression separators(QStringLiteral("[, ]"));
    const QStringList words = value.split(separators, Qt::SkipEmptyParts);
    for (qsizetype k = 0; k < words.size() && k < widths.size(); ++k) {
        bool ok = false;
        const int width = words[k].toInt(&ok);
        if (ok && width > 0 && width <= MaxColumnWidth)
            widths[k] = width;
    }
    return widths;
}

QString FormatSubjColSize(const QList<int>& widths) {
    QStringList words;
    for (int width : widths)
        words << QString::number(width);
    return words.join(QLatin1Char(','));
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

TViewLayout ReadViewLayout(QSettings& settings) {
    TViewLayout layout;
    layout.Geometry = Geometry(settings);
    layout.State = Number(settings, QStringLiteral("State"), 0, 2).value_or(0);
    layout.FullScreen = Flag(settings, QStringLiteral("Fullscreen"), false);
    layout.BigTree = Flag(settings, QStringLiteral("BigTree"), false);
    layout.ThreadsView = Flag(settings, QStringLiteral("ThreadsView"), false);
    layout.SubjColSize = Text(settings, QStringLiteral("SubjColSize"));
    layout.ToolbarVisible = Flag(settings, QStringLiteral("ToolbarVisible"), true);
    layout.ToolbarDock = Text(settings, QStringLiteral("ToolbarDock"), layout.ToolbarDock);
    layout.ToolbarPos = Text(settings, QStringLiteral("ToolbarPos"));
    layout.ToolbarState = QByteArray::fromBase64(Text(settings, QStringLiteral("ToolbarState")).toLatin1());
    layout.LeftPanelWidth = Number(settings, QStringLiteral("LeftPanelWidth"), 0, MaxCoordinate);
    layout.TopPanelHeight = Number(settings, QStringLiteral("TopPanelHeight"), 0, MaxCoordinate);
    return layout;
}

void WriteViewLayout(QSettings& settings, const TViewLayout& layout) {
    if (layout.Geometry) {
        settings.setValue(QStringLiteral("Left"), layout.Geometry->left());
        settings.setValue(QStringLiteral("Top"), layout.Geometry->top());
        settings.setValue(QStringLiteral("Width"), layout.Geometry->width());
        settings.setValue(QStringLiteral("Height"), layout.Geometry->height());
    }
    settings.setValue(QStringLiteral("State"), layout.State);
    settings.setValue(QStringLiteral("Fullscreen"), int(layout.FullScreen));
    settings.setValue(QStringLiteral("BigTree"), int(layout.BigTree));
    settings.setValue(QStringLiteral("ThreadsView"), int(layout.ThreadsView));
    settings.setValue(QStringLiteral("SubjColSize"), layout.SubjColSize);
    settings.setValue(QStringLiteral("ToolbarVisible"), int(layout.ToolbarVisible));
    settings.setValue(QStringLiteral("ToolbarDock"), layout.ToolbarDock);
    settings.setValue(QStringLiteral("ToolbarPos"), layout.ToolbarPos);
    settings.setValue(QStringLiteral("ToolbarState"), QString::fromLatin1(layout.ToolbarState.toBase64()));
    if (layout.LeftPanelWidth)
        settings.setValue(QStringLiteral("LeftPanelWidth"), *layout.LeftPanelWidth);
    if (layout.TopPanelHeight)
        settings.setValue(QStringLiteral("TopPanelHeight"), *layout.TopPanelHeight);
}

} // namespace tavro::app
