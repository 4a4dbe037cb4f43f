#pragma once

#include <QIcon>
#include <QPixmap>

namespace tavro::app {

// Positions in the shared image list that the area tree and the message list use.
enum TImageIndex : int {
    iiSelectedArea = 4,
    iiArea = 5,
    iiLockedArea = 6,
    iiNewArea = 7,
    iiFolderExpanded = 10,
    iiFolderCollapsed = 11,
    iiUnread = 30,
    iiUnreadMarked = 31,
    iiRead = 32,
    iiReadMarked = 33,
    iiFolderCollapsedNew = 60,
};

// Pictures of the reader's commands, for toolbars and menus.
enum class TCommandIcon {
    New,
    Reply,
    Transfer,
    Write,
    Print,
    Delete,
    ShowKludges,
    Rescan,
    AddressBook,
    PrevInChain,
    PrevMessage,
    NextMessage,
    NextInChain,
    Help,
    Find,
    SelectUser,
    Setup,
};

// The program's shared pictures, drawn from the icons compiled into the program. Needs a
// QGuiApplication; an index without a picture gives a null icon or pixmap.
class TFTNData final {
public:
    TFTNData() = delete;

    static constexpr int ImageSize = 16;

    static bool HasImage(int index);
    static QIcon Icon(int index);
    // ImageSize square.
    static QPixmap Pixmap(int index);
    static QIcon CommandIcon(TCommandIcon command);

    // The message row's picture for a message that is read or not, marked or not.
    static int MessageImage(bool read, bool marked);
};

} // namespace tavro::app
