#include "tools/simulator/terminal.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace veltaro::sim {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int) {
    stopSignal = 1;
}

struct Speed {
    int baud;
    speed_t speed;
};

constexpr Speed SPEEDS[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                            {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};

} // namespace

bool isSupportedBaud(int baud) {
    for (const Speed& s : SPEEDS) {
        if (s.baud == baud) {
            return true;
        }
    }
    return false;
}

Terminal::~Terminal() {
    if (fd >= 0) {
        ::close(fd);
    }
}

bool Terminal::open(const std::string& path, int baud, std::string& error) {
    fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    terminal = ::isatty(fd) != 0;
    if (!terminal) {
        return true;
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        error = "cannot read the settings of " + path + ": " + std::strerror(errno);
        return false;
    }
    // Raw bytes, 8 data bits, no parity, one stop bit: nothing may translate the CR LF line ends.
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB);
    settings.c_cflag |= CLOCAL;
    for (const Speed& s : SPEEDS) {
        if (s.baud == baud) {
            ::cfsetispeed(&settings, s.speed);
            ::cfsetospeed(&settings, s.speed);
        }
    }
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = "cannot set " + path + " to " + std::to_string(baud) + " baud: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Terminal::write(std::string_view bytes, std::string& error) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR && !stopRequested()) {
                continue;
            }
            if (errno != EINTR) {
                error = std::string("write failed: ") + std::strerror(errno);
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that went away shows as a failed write, not as a fatal signal.
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() {
    return stopSignal != 0;
}

bool sleepUntil(std::chrono::steady_clock::time_point time) {
    // steady_clock is CLOCK_MONOTONIC here; clock_nanosleep returns on a signal, unlike sleep_until.
    const auto since = time.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    timespec until{};
    until.tv_sec = static_cast<time_t>(seconds.count());
    until.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
    while (!stopRequested()) {
        if (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != EINTR) {
            return true;
        }
    }
    return false;
}

} // namespace veltaro::sim
