#pragma once

#include <QObject>
#include <QTimer>

class QPoint;
class QTreeWidget;

namespace tavro::app {

// Scrolls a tree one node a tick while a drag goes on outside it: up while the pointer is
// above the tree, down while it is at or below its lower edge.
class TAreaTreeScroller final : public QObject {
    Q_OBJECT
public:
    static constexpr int PeriodMs = 100;

    explicit TAreaTreeScroller(QTreeWidget* tree);

    void Start();
    void Stop();
    bool IsActive() const { return Timer.isActive(); }
    // One tick for the pointer at `globalPos`.
    void Tick(const QPoint& globalPos);

private:
    QTreeWidget* Tree;
    QTimer Timer;
};

} // namespace tavro::app
