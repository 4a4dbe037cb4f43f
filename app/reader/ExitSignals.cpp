#include "ExitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tavro::app {

namespace {

int Pipe[2] = {-1, -1};
constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here: the number goes through the pipe.
void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] ssize_t n = ::write(Pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TExitSignals::TExitSignals(QObject* parent) : QObject(parent) {
    if (Pipe[0] < 0 && ::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    Notifier = new QSocketNotifier(Pipe[0], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &TExitSignals::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : Handled)
        ::sigaction(number, &action, nullptr);
}

TExitSignals::~TExitSignals() {
    for (int number : Handled)
        ::signal(number, SIG_DFL);
}

void TExitSignals::Drain() {
    unsigned char byte = 0;
    while (::read(Pipe[0], &byte, 1) == 1)
        emit Received(byte);
}

} // namespace tavro::app
