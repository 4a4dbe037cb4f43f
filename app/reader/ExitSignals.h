#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavro::app {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C) into a Qt signal on the GUI
// thread, so that the program shuts down normally and saves what it must.
class TExitSignals : public QObject {
    Q_OBJECT
public:
    explicit TExitSignals(QObject* parent = nullptr);
    ~TExitSignals() override;

signals:
    void Received(int signalNumber);

private:
    void Drain();

    QSocketNotifier* Notifier = nullptr;
};

} // namespace tavro::app
