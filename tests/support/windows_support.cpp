#include "support/windows_support.h"

#include "gps/gps_parser.h"
#include "ports/win_handle.h"
#include "support/captures.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace veltaro::test {

std::string temporaryPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    static int serial = 0;
    std::string path = std::string(folder) + "veltaro-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++serial) + "-" + name;
    DeleteFileA(path.c_str());
    return path;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string receive(ByteQueue& queue, std::size_t size) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::atomic<bool> timedOut{false};
    std::thread watchdog([&] {
        std::unique_lock guard(mutex);
        if (!finished.wait_for(guard, std::chrono::milliseconds(GENEROUS_TIMEOUT_MS), [&] { return done; })) {
            timedOut = true;
            queue.signalStop();
        }
    });
    std::string received;
    while (received.size() < size && !timedOut) {
        queue.waitForData();
        int n = 0;
        if (std::unique_ptr<char[]> block = queue.takeAll(n)) {
            received.append(block.get(), static_cast<std::size_t>(n));
        }
    }
    {
        std::lock_guard guard(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    return received;
}

bool pumpMessagesUntil(const std::function<bool()>& done, const std::function<bool(MSG&)>& handled) {
    const ULONGLONG deadline = GetTickCount64() + GENEROUS_TIMEOUT_MS;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!handled(message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }
    return true;
}

bool pollUntil(const std::function<bool()>& done) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, nullptr); // its messages end each wait of the pump
    const bool held = pumpMessagesUntil(done);
    KillTimer(nullptr, timer);
    return held;
}

std::string runUnixCommand(const std::string& command) {
    // Wine starts Linux programs too, but gives no handle to wait on: the command moves its output into
    // place when it is done, and the test waits for that file to appear. Drive Z: is the Linux root.
    static int serial = 0;
    const std::string folder =
        "/tmp/veltaro-command-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    const std::string windowsFolder = "Z:" + folder;
    CreateDirectoryA(windowsFolder.c_str(), nullptr);
    WinHandle change(FindFirstChangeNotificationA(windowsFolder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
    std::string line = "/bin/sh -c \"" + command + " > " + folder + "/printing 2>&1; mv " + folder + "/printing " +
                       folder + "/printed\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return "cannot run: " + command;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const std::string printed = windowsFolder + "/printed";
    const ULONGLONG deadline = GetTickCount64() + GENEROUS_TIMEOUT_MS;
    while (!fileExists(printed) && change.valid()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            break;
        }
        WaitForSingleObject(change.get(), static_cast<DWORD>(deadline - now));
        FindNextChangeNotification(change.get());
    }
    const std::string result = readFile(printed);
    DeleteFileA(printed.c_str());
    change.reset();
    RemoveDirectoryA(windowsFolder.c_str());
    return result;
}

std::string terminalOf(int portNumber) {
    const char* folder = std::getenv("VELTARO_TTY_DIR");
    return std::string(folder != nullptr ? folder : "/nonexistent") + "/com" + std::to_string(portNumber);
}

ComPair::~ComPair() {
    if (made) {
        remove();
    }
}

std::string ComPair::run(const char* action) {
    const char* prefix = std::getenv("WINEPREFIX");
    const char* folder = std::getenv("VELTARO_TTY_DIR");
    if (prefix == nullptr || folder == nullptr) {
        return "no prefix or terminal folder";
    }
    return runUnixCommand(std::string(VELTARO_SCRIPTS_DIR) + "/com-pair.sh " + action + " " + prefix + " " + folder +
                          " " + std::to_string(nearPort) + " " + std::to_string(farPort));
}

bool ComPair::make() {
    made = run("make") == "made\n";
    return made;
}

bool ComPair::remove() {
    made = false;
    return run("remove") == "removed\n";
}

SmallVolume::SmallVolume(int kilobytes, bool readOnly) {
    folder = "/tmp/veltaro-volume-" + std::to_string(GetCurrentProcessId());
    mounted = runUnixCommand("mkdir -p " + folder + " && mount -t tmpfs -o " + (readOnly ? "ro," : "") +
                             "size=" + std::to_string(kilobytes) + "k tmpfs " + folder + " && echo mounted");
}

SmallVolume::~SmallVolume() {
    runUnixCommand("umount " + folder + " && rmdir " + folder);
}

std::string SmallVolume::windowsPath(const char* name) const {
    std::string path = "Z:" + folder + "\\" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void SmallVolume::fill(int kilobytes) {
    runUnixCommand("dd if=/dev/zero of=" + folder + "/filler bs=1k count=" + std::to_string(kilobytes) +
                   " status=none");
}

void SmallVolume::free() {
    runUnixCommand("rm -f " + folder + "/filler");
}

void expectToEnd(const std::function<void()>& work) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock guard(mutex);
        if (!finished.wait_for(guard, std::chrono::milliseconds(GENEROUS_TIMEOUT_MS), [&] { return done; })) {
            std::fprintf(stderr, "FAILED: still running after %u ms\n", GENEROUS_TIMEOUT_MS);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 1);
        }
    });
    work();
    {
        std::lock_guard guard(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
}

UpdateCounter::UpdateCounter() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &UpdateCounter::proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VeltaroUpdateCounter";
    RegisterClassA(&windowClass); // fails harmlessly for every counter after the first
    handle = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, this);
}

UpdateCounter::~UpdateCounter() {
    DestroyWindow(handle);
}

LRESULT CALLBACK UpdateCounter::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* counter = reinterpret_cast<UpdateCounter*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_GPSUPDATE && counter != nullptr) {
        ++counter->received;
        if (counter->onUpdate) {
            counter->onUpdate();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace veltaro::test
