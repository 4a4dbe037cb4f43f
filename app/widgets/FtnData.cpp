#include "FtnData.h"

#include "Resources.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <utility>

namespace tavro::app {

namespace {

constexpr std::array<std::pair<int, const char*>, 11> ImageFiles{{
    {iiSelectedArea, "area-selected"},
    {iiArea, "area"},
    {iiLockedArea, "area-locked"},
    {iiNewArea, "area-new"},
    {iiFolderExpanded, "folder-open"},
    {iiFolderCollapsed, "folder-closed"},
    {iiUnread, "msg-unread"},
    {iiUnreadMarked, "msg-unread-marked"},
    {iiRead, "msg-read"},
    {iiReadMarked, "msg-read-marked"},
    {iiFolderCollapsedNew, "folder-new"},
}};

// Indexed by TCommandIcon.
constexpr std::array<const char*, 17> CommandFiles{
    "cmd-new",        "cmd-reply",  "cmd-transfer",    "cmd-write",       "cmd-print",    "cmd-delete",
    "cmd-kludges",    "cmd-rescan", "cmd-addressbook", "cmd-prev-reply",  "cmd-prev-msg", "cmd-next-msg",
    "cmd-next-reply", "cmd-help",   "cmd-find",        "cmd-select-user", "cmd-setup",
};
static_assert(CommandFiles.size() == static_cast<size_t>(TCommandIcon::Setup) + 1);

// Drawn at the sizes menus, lists and toolbars ask for, so nothing is scaled from a bitmap.
constexpr std::array<int, 5> IconSizes{16, 20, 24, 32, 48};

const char* ImageFile(int index) {
    for (const auto& [position, file] : ImageFiles)
        if (position == index)
            return file;
    return nullptr;
}

QPixmap Render(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon LoadIcon(const char* name) {
    static QHash<QString, QIcon> cache;
    const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    if (const auto found = cache.constFind(path); found != cache.cend())
        return *found;
    static const bool registered = (InitResources(), true);
    Q_UNUSED(registered);
    QIcon icon;
    QSvgRenderer renderer(path);
    if (renderer.isValid())
        for (int size : IconSizes)
            icon.addPixmap(Render(renderer, size));
    cache.insert(path, icon);
    return icon;
}

} // namespace

bool TFTNData::HasImage(int index) {
    return ImageFile(index) != nullptr;
}

QIcon TFTNData::Icon(int index) {
    const char* file = ImageFile(index);
    return file ? LoadIcon(file) : QIcon();
}

QPixmap TFTNData::Pixmap(int index) {
    const QIcon icon = Icon(index);
    return icon.isNull() ? QPixmap() : icon.pixmap(ImageSize, ImageSize);
}

QIcon TFTNData::CommandIcon(TCommandIcon command) {
    const auto position = static_cast<size_t>(command);
    return position < CommandFiles.size() ? LoadIcon(CommandFiles[position]) : QIcon();
}

int TFTNData::MessageImage(bool read, bool marked) {
    if (read)
        return marked ? iiReadMarked : iiRead;
    return marked ? iiUnreadMarked : iiUnread;
}

} // namespace tavro::app
