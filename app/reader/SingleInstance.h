#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace tavro::app {

// Guards against a second copy. The first copy listens on a local socket named after the
// program and the user; a second copy asks it to come to the front and learns whether it
// should end (-1) or run on as a copy of its own (0).
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(QObject* parent = nullptr);

    // The server's name: the program's text and the user id.
    static QString ServerName();

    // Asks a running copy; true when it answered that this copy should end. A copy that
    // does not answer counts as none.
    static bool RunningCopyTakesOver(const QString& name = ServerName());

    // Starts answering second copies with `answer` (0 or -1). Returns false when another
    // live copy already answers on the name.
    bool Listen(std::function<int()> answer, const QString& name = ServerName());

private:
    void Answer();

    QLocalServer* Server = nullptr;
    std::function<int()> Answerer;
};

} // namespace tavro::app
