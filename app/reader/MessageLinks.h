#pragma once

#include "text/FtnParser.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QMenu;
class QPlainTextEdit;

namespace tavro::app {

// The links in the message text: the hand pointer over them, Ctrl + click and double click
// open them, and the text's context menu offers them with its other commands.
class TMessageLinks final : public QObject {
    Q_OBJECT
public:
    explicit TMessageLinks(QPlainTextEdit* text, QObject* parent = nullptr);

    struct TFound {
        QString Text;
        TLinkKind Kind = lkNone;
    };
    // The link under a point of the view's viewport, if any.
    std::optional<TFound> LinkAt(const QPoint& point) const;
    // Opens a link as its kind says; false when it is of no kind that opens.
    bool Open(const TFound& link);
    // "Open as URL" over the current selection.
    bool OpenSelectionAsUrl();
    // The context menu as it would open at a point of the viewport.
    QMenu* MakeMenu(const QPoint& point);

    // Hands web and mail addresses to the desktop; tests replace it.
    std::function<void(const QUrl&)> OpenUrl;

signals:
    // An FTN address was opened: write to that node.
    void AddressOpened(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* Text;
};

} // namespace tavro::app
