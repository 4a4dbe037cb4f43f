#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QWidget;

namespace tavro::app {

// Hides a minimised window behind a tray icon and brings it back. Without a system tray
// the window simply stays minimised.
class TWindowTray final : public QObject {
    Q_OBJECT
public:
    explicit TWindowTray(QWidget* window);

    // The icon, created on first use; null until the window was first hidden.
    QSystemTrayIcon* Icon() const { return Icon_; }
    bool IsHidingWindow() const;

    // Called on every state change of the window: a minimised window goes to the tray when
    // `wanted` and a tray exists.
    void WindowStateChanged(bool wanted, bool trayAvailable);
    void HideWindow();
    void RestoreWindow();

private:
    QSystemTrayIcon* EnsureIcon();

    QWidget* Window;
    QPointer<QSystemTrayIcon> Icon_;
};

} // namespace tavro::app
