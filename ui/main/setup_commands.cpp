// The saved setups of live devices: kept as each starts, offered from the start page, started at launch.
#include "ui/main/main_frame.h"
#include "ui/main/setups_file.h"
#include "ui/pages/com_ports.h"
#include "ui/pages/saved_setups_dialog.h"

#include <ctime>

namespace veltaro {

namespace {

bool portIsThere(const std::string& name) {
    for (const ComPort& port : listComPorts()) {
        if (samePort(port.name, name)) {
            return true;
        }
    }
    return false;
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

void MainFrame::loadSavedSetups(const std::wstring& path) {
    setupsPath = path;
    std::string problem;
    setups = loadSetups(path, problem);
    if (!problem.empty()) {
        showError(problem);
    }
    if (startPage != nullptr) {
        startPage->offerSavedSetups(!setups.empty());
    }
    // Each in the order kept; a copy, as starting one reorders the list.
    const std::vector<SavedSetup> saved = setups;
    for (const SavedSetup& setup : saved) {
        if (setup.startAtLaunch) {
            startSetup(setup);
        }
    }
}

void MainFrame::startSavedDevice() {
    std::size_t chosen = 0;
    const bool start = showSavedSetupsDialog(mainWindow.hwnd, setups, chosen);
    saveSavedSetups(); // deletions and ticks count whether or not one starts
    if (start && chosen < setups.size()) {
        startSetup(setups[chosen]);
    }
}

void MainFrame::startSetup(SavedSetup setup) {
    NetworkAddress address;
    if (!isNetworkSetup(setup, address) && !portIsThere(setup.port)) {
        showError(setup.port + " is not there: the saved setup cannot start. Is the receiver plugged in?");
        return;
    }
    bool append = false;
    if (!setup.logPath.empty() && fileExists(setup.logPath)) {
        const std::string question = "The log file " + setup.logPath +
                                     " exists.\n\nAdd to its end? No chooses another file; Cancel does not start " +
                                     setup.port + ".";
        const int answer = MessageBoxA(mainWindow.hwnd, question.c_str(), "Veltaro", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) {
            return;
        }
        append = answer == IDYES;
        if (!append && !askLogPath(mainWindow.hwnd, setup.logPath)) {
            return;
        }
    }
    if (startLiveDevice(setup, append)) {
        keepSetup(setup);
    }
}

void MainFrame::addRememberedOutputs(SavedSetup& setup) const {
    for (const SavedSetup& old : setups) {
        if (samePort(old.port, setup.port)) {
            setup.tcpServers = old.tcpServers;
            setup.udpDestinations = old.udpDestinations;
        }
    }
}

void MainFrame::keepSetup(SavedSetup setup) {
    // A port started again keeps its "Start at launch" tick.
    for (const SavedSetup& old : setups) {
        if (samePort(old.port, setup.port)) {
            setup.startAtLaunch = old.startAtLaunch;
        }
    }
    setup.lastUsed = static_cast<std::int64_t>(std::time(nullptr));
    remember(setups, setup);
    saveSavedSetups();
}

void MainFrame::saveSavedSetups() {
    if (startPage != nullptr) {
        startPage->offerSavedSetups(!setups.empty());
    }
    std::string problem;
    if (!setupsPath.empty() && !saveSetups(setupsPath, setups, problem)) {
        showError(problem);
    }
}

} // namespace veltaro
