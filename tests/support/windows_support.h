#pragma once

#include "core/byte_queue.h"

#include <windows.h>

#include <functional>
#include <string>

namespace veltaro::test {

// How long a test waits for what it expects before it calls it a failure.
constexpr unsigned GENEROUS_TIMEOUT_MS = 30000;

// A fresh path in the temporary folder; the file does not exist.
std::string temporaryPath(const char* name);

bool fileExists(const std::string& path);

// Takes bytes from a queue until size arrived; stops the wait after the generous time-out.
std::string receive(ByteQueue& queue, std::size_t size);

// Runs this thread's messages until done() holds; false after the generous time-out. A message that
// handled() takes is not dispatched, as in a loop with keyboard translation.
bool pumpMessagesUntil(
    const std::function<bool()>& done, const std::function<bool(MSG&)>& handled = [](MSG&) { return false; });

// Looks at done() every 100 ms until it holds, for states no event announces (a port's status); false
// after the generous time-out.
bool pollUntil(const std::function<bool()>& done);

// Runs a shell command on the Linux side of Wine and returns what it printed.
std::string runUnixCommand(const std::string& command);

// The Linux terminal behind a virtual COM port.
std::string terminalOf(int portNumber);

// A pair of virtual COM ports the test makes and removes itself, as an adapter plugged in and pulled.
class ComPair {
public:
    ComPair(int nearPort, int farPort) : nearPort(nearPort), farPort(farPort) {}
    ~ComPair();
    ComPair(const ComPair&) = delete;
    ComPair& operator=(const ComPair&) = delete;

    bool make();
    bool remove();

private:
    std::string run(const char* action);
    int nearPort;
    int farPort;
    bool made = false;
};

// A small volume of its own, mounted on the Linux side (the tests run as root), to fill up.
class SmallVolume {
public:
    // A read-only volume takes no file at all, whoever asks: root may write in any folder marked read-only.
    explicit SmallVolume(int kilobytes, bool readOnly = false);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    // As a user types it, with backslashes: the save dialog refuses a slash in a name.
    std::string windowsPath(const char* name) const;
    // Takes kilobytes of the volume with a file of its own, or frees them.
    void fill(int kilobytes);
    void free();

    std::string mounted; // "mounted\n" once it is

private:
    std::string folder;
};

// Runs work; if it has not ended after the generous time-out, says so and ends the process, since a
// hung thread cannot be joined.
void expectToEnd(const std::function<void()>& work);

// A hidden window of this thread that counts the WM_GPSUPDATE messages it receives.
class UpdateCounter {
public:
    UpdateCounter();
    ~UpdateCounter();
    UpdateCounter(const UpdateCounter&) = delete;
    UpdateCounter& operator=(const UpdateCounter&) = delete;

    HWND window() const { return handle; }
    int count() const { return received; }
    std::function<void()> onUpdate; // runs inside each message

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND handle = nullptr;
    int received = 0;
};

} // namespace veltaro::test
