#include "WindowTray.h"

#include "FtnData.h"

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace tavro::app {

TWindowTray::TWindowTray(QWidget* window) : QObject(window), Window(window) {}

bool TWindowTray::IsHidingWindow() const {
    return Icon_ && Icon_->isVisible();
}

QSystemTrayIcon* TWindowTray::EnsureIcon() {
    if (Icon_)
        return Icon_;
    Icon_ = new QSystemTrayIcon(this);
    Icon_->setObjectName(QStringLiteral("TrayIcon"));
    const QIcon icon = Window->windowIcon();
    Icon_->setIcon(icon.isNull() ? TFTNData::CommandIcon(TCommandIcon::New) : icon);
    connect(Icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            RestoreWindow();
    });
    return Icon_;
}

void TWindowTray::WindowStateChanged(bool wanted, bool trayAvailable) {
    if (!wanted || !trayAvailable || !Window->isMinimized() || IsHidingWindow())
        return;
    // Hiding inside the state change confuses some window managers; do it right after.
    QTimer::singleShot(0, this, [this] {
        if (Window->isMinimized() && Window->isVisible())
            HideWindow();
    });
}

void TWindowTray::HideWindow() {
    QSystemTrayIcon* icon = EnsureIcon();
    icon->setToolTip(Window->windowTitle());
    Window->hide();
    icon->show();
}

void TWindowTray::RestoreWindow() {
    if (Icon_)
        Icon_->hide();
    Window->setWindowState(Window->windowState() & ~Qt::WindowMinimized);
    Window->show();
    Window->raise();
    Window->activateWindow();
}

} // namespace tavro::app
