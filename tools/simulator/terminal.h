#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace veltaro::sim {

// Whether termios has a speed for the baud rate.
bool isSupportedBaud(int baud);

// The end of a serial line the simulator writes to: a terminal device in raw mode, 8N1 at the baud rate.
// Another file (a FIFO, a plain file) is written as it is.
class Terminal {
public:
    Terminal() = default;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal();

    // On failure, error says why.
    bool open(const std::string& path, int baud, std::string& error);
    bool isTerminal() const { return terminal; }

    // Writes all the bytes. False on an error (in error) or when a signal asked the program to stop.
    bool write(std::string_view bytes, std::string& error);

private:
    int fd = -1;
    bool terminal = false;
};

// Installs the SIGINT and SIGTERM handlers, without restarting interrupted calls, so a blocked write
// or a sleep returns at once.
void catchStopSignals();
bool stopRequested();

// Sleeps until the time; false when a stop signal came first.
bool sleepUntil(std::chrono::steady_clock::time_point time);

} // namespace veltaro::sim
