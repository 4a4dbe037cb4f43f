#pragma once

#include <QStatusBar>

#include <array>

class QLabel;
class QProgressBar;

namespace tavro::app {

// The reader's status bar: panel 0 shows hints, panel 1 carries the progress bar, panel 2
// shows status texts.
class TViewerStatusBar final : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int PanelCount = 3;
    static constexpr std::array<int, PanelCount> PanelWidths{250, 100, 50};

    explicit TViewerStatusBar(QWidget* parent = nullptr);

    void SetText(int panel, const QString& text);
    QString Text(int panel) const;
    QLabel* Panel(int panel) const;
    QProgressBar* Progress() const { return Progress_; }

    // -1 shows a busy bar that knows no percentage.
    void ShowProgress(int percent);
    void HideProgress();

private:
    std::array<QLabel*, PanelCount> Panels{};
    QProgressBar* Progress_ = nullptr;
};

} // namespace tavro::app
