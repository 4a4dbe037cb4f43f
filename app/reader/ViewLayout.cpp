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

} // namespace

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

TViewLayout ReadViewLayout(QSettings& settings) {
    TViewLayout layout;
    static_cast<TWindowPlacement&>(layout) = ReadWindowPlacement(settings);
    layout.FullScreen = SettingFlag(settings, QStringLiteral("Fullscreen"), false);
    layout.BigTree = SettingFlag(settings, QStringLiteral("BigTree"), false);
    layout.ThreadsView = SettingFlag(settings, QStringLiteral("ThreadsView"), false);
    layout.SubjColSize = SettingText(settings, QStringLiteral("SubjColSize"));
    layout.LeftPanelWidth = SettingNumber(settings, QStringLiteral("LeftPanelWidth"), 0, MaxCoordinate);
    layout.TopPanelHeight = SettingNumber(settings, QStringLiteral("TopPanelHeight"), 0, MaxCoordinate);
    return layout;
}

void WriteViewLayout(QSettings& settings, const TViewLayout& layout) {
    WriteWindowPlacement(settings, layout);
    settings.setValue(QStringLiteral("Fullscreen"), int(layout.FullScreen));
    settings.setValue(QStringLiteral("BigTree"), int(layout.BigTree));
    settings.setValue(QStringLiteral("ThreadsView"), int(layout.ThreadsView));
    settings.setValue(QStringLiteral("SubjColSize"), layout.SubjColSize);
    if (layout.LeftPanelWidth)
        settings.setValue(QStringLiteral("LeftPanelWidth"), *layout.LeftPanelWidth);
    if (layout.TopPanelHeight)
        settings.setValue(QStringLiteral("TopPanelHeight"), *layout.TopPanelHeight);
}

} // namespace tavro::app
