// The main frame's device operations: starting a live device or a replay of a log, and the commands of a
// device's menu.
#include "ports/file_port.h"
#include "ports/net_socket.h"
#include "ports/network_source_port.h"
#include "ports/serial_port.h"
#include "ports/system_error.h"
#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/device_error_text.h"
#include "ui/main/main_frame.h"
#include "ui/pages/add_echo_dialog.h"
#include "ui/pages/com_ports.h"
#include "ui/pages/device_page.h"
#include "ui/views/accuracy_page.h"
#include "ui/views/compare_page.h"
#include "ui/views/history_page.h"
#include "ui/views/sentences_page.h"
#include "ui/views/signals_page.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

namespace veltaro {

namespace {

// The file dialogs' common settings: the owner, the file name buffer, the filter, the current folder, .gpsl.
OPENFILENAMEA fileDialog(HWND owner, char (&file)[MAX_PATH], const char* filter) {
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A; // the layout every Windows version reads
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = ".";
    dialog.lpstrDefExt = "gpsl";
    return dialog;
}

// Asks which recorded log to replay; false when the user cancels.
bool askRecordingPath(HWND owner, std::string& path) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog = fileDialog(owner, file, "GPS log files (*.gpsl)\0*.gpsl\0All files\0*.*\0");
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog)) {
        return false;
    }
    path = file;
    return true;
}

// The last part of a path: "day.gpsl" for "C:\\logs\\day.gpsl".
std::string fileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why an output could not start: what it is, and the system's reason where it gave one.
std::string outputFailure(const GpsDevice& device, const std::string& what) {
    if (device.error != DEVICE_ERROR_OPEN_PORT && device.error != DEVICE_ERROR_INITIALIZE_PORT) {
        return deviceErrorText(device.error);
    }
    const std::string reason = systemErrorText(device.systemError);
    return what + (reason.empty() ? "." : ": " + reason);
}

std::string logFailure(const GpsDevice& device, const std::string& path) {
    return outputFailure(device, "Cannot create the log file " + path);
}

constexpr const char* GOES_ON_WITHOUT_IT = "\n\nThe device goes on without it.";

} // namespace

// Asks where to save a device's data; false when the user cancels.
bool askLogPath(HWND owner, std::string& path) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog = fileDialog(owner, file, "GPS Text Log\0*.gpsl\0");
    // A log starts empty, so choosing an existing file must be a decision, not an accident.
    dialog.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&dialog)) {
        return false;
    }
    path = file;
    return true;
}

void MainFrame::startDevice(int port, int baud, bool saveToFile, bool echo, int echoPort, int echoBaud) {
    // Asked before the device starts: what arrives while the dialog is open belongs in the log too.
    SavedSetup setup;
    setup.port = "COM" + std::to_string(port);
    setup.baud = static_cast<std::uint32_t>(std::max(baud, 0));
    if (saveToFile && !askLogPath(mainWindow.hwnd, setup.logPath)) {
        setup.logPath.clear();
    }
    if (echo) {
        setup.echoes.push_back({"COM" + std::to_string(echoPort), static_cast<std::uint32_t>(std::max(echoBaud, 0))});
    }
    addRememberedOutputs(setup);
    if (startLiveDevice(setup, false)) {
        keepSetup(setup);
    }
}

bool MainFrame::startLiveDevice(const SavedSetup& setup, bool appendLog) {
    NetworkAddress address;
    const bool network = isNetworkSetup(setup, address);
    const int port = network ? 0 : portNumber(setup.port);
    const std::string source = network ? setup.port : "COM" + std::to_string(port);
    auto device = std::make_unique<GpsDevice>(
        network ? std::unique_ptr<Port>(std::make_unique<NetworkSourcePort>(address))
                : std::unique_ptr<Port>(std::make_unique<SerialPort>(port, static_cast<int>(setup.baud))));
    if (!device->open(mainWindow.hwnd)) {
        // A network source names what failed: a host that is not known, a port another program listens on.
        showError(network && device->error == DEVICE_ERROR_OPEN_PORT
                      ? "Cannot " + std::string(address.transport == Transport::UDP ? "listen on " : "connect to ") +
                            source + ": " + socketErrorText(device->port->status().systemError)
                      : deviceErrorText(device->error));
        return false; // the device and its port stop and go with it
    }
    if (setup.everySystem != EverySystemChoice::NOT_CHOSEN) {
        device->parser->setEverySystem(setup.everySystem == EverySystemChoice::ON);
    }
    // The outputs join before the stream flows, so they get it from its first byte; the bytes wait meanwhile.
    std::string logPath = setup.logPath;
    bool log = !logPath.empty();
    while (log && !device->addLogFile(logPath.c_str(), appendLog)) {
        // A log the user asked for is never dropped in silence: another file, or no log by the user's word.
        const std::string question =
            logFailure(*device, logPath) + "\n\nChoose another file? No starts " + source + " without a log.";
        if (MessageBoxA(mainWindow.hwnd, question.c_str(), "Veltaro", MB_YESNO | MB_ICONWARNING) != IDYES) {
            break;
        }
        log = askLogPath(mainWindow.hwnd, logPath);
        appendLog = false;
    }
    for (const EchoSetup& echo : setup.echoes) {
        addEchoPort(*device, portNumber(echo.port), static_cast<int>(echo.baud));
    }
    for (const std::uint16_t serving : setup.tcpServers) {
        addTcpServer(*device, serving);
    }
    for (const std::string& destination : setup.udpDestinations) {
        addUdpOutput(*device, destination);
    }
    if (!device->run()) {
        showError(deviceErrorText(device->error));
        return false;
    }
    addDeviceNode(std::move(device), (source + (network ? ": Network GPS" : ": Live GPS")).c_str(), 1);
    return true;
}

void MainFrame::openGpsDataFile() {
    std::string path;
    if (askRecordingPath(mainWindow.hwnd, path)) {
        startRecordedDevice(path);
    }
}

bool MainFrame::startRecordedDevice(const std::string& path) {
    auto device = std::make_unique<GpsDevice>(std::make_unique<FilePort>(path.c_str(), ReplayPace::RECEIVER));
    if (!device->start(mainWindow.hwnd)) {
        std::string message = deviceErrorText(device->error);
        if (device->error == DEVICE_ERROR_OPEN_PORT) {
            const std::string reason = systemErrorText(device->port->status().systemError);
            message = "Cannot read the GPS data file " + path + (reason.empty() ? "." : ": " + reason);
        }
        showError(message);
        return false;
    }
    device->recordedFile = path;
    addDeviceNode(std::move(device), (fileName(path) + ": Recorded GPS").c_str(), 0);
    return true;
}

void MainFrame::addDeviceNode(std::unique_ptr<GpsDevice> device, const char* title, std::int32_t live) {
    // Every page is made before anything joins the tree: a device shows whole or not at all.
    std::unique_ptr<TreeNode> node = newPageNode(rootNode, NODE_DEVICE, title, &device->snapshot);
    auto page = std::make_unique<DevicePage>(device.get(), node->pane, sharedGdi());
    page->dock = DOCK_FILL;
    node->make(std::move(page), node->pane->hwnd);
    const SharedGdi& gdi = sharedGdi();
    const SentenceLog& log = device->parser->sentenceLog();
    std::unique_ptr<TreeNode> pages[] = {
        buildSatStats(&device->snapshot),
        buildCurrentRoute(&device->snapshot, &device->newFixes),
        buildPage("Sentences", &device->snapshot,
                  [&](ContainerPane* root) { return std::make_unique<SentencesPage>(root, true, gdi, log); }),
        buildPage("Signals", &device->snapshot,
                  [&](ContainerPane* root) { return std::make_unique<SignalsPage>(root, true, gdi); }),
        buildPage(
            "Accuracy", &device->snapshot,
            [&](ContainerPane* root) { return std::make_unique<AccuracyPage>(root, true, gdi, device->scatter); }),
        buildPage("History", &device->snapshot,
                  [&](ContainerPane* root) { return std::make_unique<HistoryPage>(root, true, gdi, device->history); }),
    };
    const bool made = std::all_of(std::begin(pages), std::end(pages), [](const auto& page) { return page->made; });
    if (!node->made || !made) {
        showError(std::string("Cannot show ") + title + ": its windows could not be made.");
        return; // the device stops as it goes
    }
    node->live = live;
    node->device = device.get();
    node->ownedDevice = std::move(device);
    TreeNode* added = node.get();
    addNode(std::move(node));
    // Selecting reports the change at once, and showNode shows the device page.
    SendMessageA(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(added->item));
    // Pages are added in the order built; of them only "Current route" has ever carried the live mark.
    for (std::unique_ptr<TreeNode>& page : pages) {
        page->parentNode = added;
        page->live = &page == &pages[1] ? 1 : 0;
        addNode(std::move(page));
    }
    SendMessageA(treeWindow, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(added->item));
    addCompareNode();
}

void MainFrame::addCompareNode() {
    const auto devices = [this] {
        std::vector<ComparedDevice> found;
        for (const std::unique_ptr<TreeNode>& node : nodes) {
            if (node->kind == NODE_DEVICE && node->device != nullptr) {
                char title[256] = "";
                GetWindowTextA(node->pane->hwnd, title, sizeof title);
                found.push_back({title, node->device});
            }
        }
        return found;
    };
    if (compareNode != nullptr || devices().size() < 2) {
        return;
    }
    std::unique_ptr<TreeNode> node = buildPage("Compare receivers", nullptr, [&](ContainerPane* root) {
        return std::make_unique<ComparePage>(root, true, sharedGdi(), devices);
    });
    if (!node->made) {
        showError("Cannot show the comparison of the receivers: its windows could not be made.");
        return;
    }
    node->parentNode = rootNode;
    compareNode = node.get();
    addNode(std::move(node));
}

void MainFrame::addLogFile(GpsDevice& device) {
    std::string path;
    if (askLogPath(mainWindow.hwnd, path) && !device.addLogFile(path.c_str())) {
        showError(logFailure(device, path) + GOES_ON_WITHOUT_IT);
    }
}

void MainFrame::addEchoPort(GpsDevice& device, int portNumber, int baudRate) {
    if (!device.addEchoPort(std::make_unique<SerialPort>(portNumber, baudRate))) {
        showError(outputFailure(device, "Cannot open the echo port COM" + std::to_string(portNumber)) +
                  GOES_ON_WITHOUT_IT);
    }
}

GpsDevice* MainFrame::menuDevice() const {
    return menuNode != nullptr ? menuNode->device : nullptr;
}

SavedSetup* MainFrame::menuDeviceSetup() {
    GpsDevice* device = menuDevice();
    const std::unique_ptr<char[]> port = menuNode->live != 0 && device->port ? device->port->displayName() : nullptr;
    for (SavedSetup& setup : setups) {
        if (port && samePort(setup.port, port.get())) {
            return &setup;
        }
    }
    return nullptr;
}

void MainFrame::showDeviceMenu() {
    // The menu belongs to the item under the click, which becomes the selection first, as in a file
    // manager; a click on empty space has no menu.
    const DWORD at = GetMessagePos();
    TVHITTESTINFO hit;
    ZeroMemory(&hit, sizeof hit);
    hit.pt = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    ScreenToClient(treeWindow, &hit.pt);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(treeWindow, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item == nullptr || (hit.flags & TVHT_ONITEM) == 0) {
        return;
    }
    SendMessageA(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    if (!nodeOfItem(item, menuNode)) {
        return;
    }
    if (menuNode == nullptr || menuNode->kind != NODE_DEVICE) {
        return;
    }
    HMENU menu = LoadMenuA(sharedGdi().appInstance, menuNode->live == 1 ? pmLiveDevice : pmOfflineDevice);
    const bool every =
        menuNode->device != nullptr && menuNode->device->parser && menuNode->device->parser->readsEverySystem();
    CheckMenuItem(menu, IDM_EVERY_SYSTEM, MF_BYCOMMAND | (every ? MF_CHECKED : MF_UNCHECKED));
    // Corrections go to a receiver on a COM port: a network source has none to write to.
    if (menuNode->device == nullptr || dynamic_cast<SerialPort*>(menuNode->device->port.get()) == nullptr) {
        DeleteMenu(menu, IDM_CORRECTIONS, MF_BYCOMMAND);
    }
    if (menuNode->device != nullptr && menuNode->device->stoppedByUser()) {
        // Nothing on it works without a running device.
        for (UINT id : {IDM_ECHO, IDM_SERVE_TCP, IDM_SEND_UDP, IDM_CORRECTIONS, IDM_SAVE_DATA, IDM_EVERY_SYSTEM,
                        IDM_STOP_DEVICE}) {
            EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
        }
    }
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, GET_X_LPARAM(at), GET_Y_LPARAM(at), 0, mainWindow.hwnd,
                   nullptr);
    DestroyMenu(menu);
}

void MainFrame::saveDataToFile() {
    if (GpsDevice* device = menuDevice()) {
        addLogFile(*device);
    }
}

void MainFrame::echoToPort() {
    GpsDevice* device = menuDevice();
    int portNumber = 0;
    int baudRate = 0;
    if (device != nullptr && showAddEchoDialog(mainWindow.hwnd, portNumber, baudRate)) {
        addEchoPort(*device, portNumber, baudRate);
    }
}

void MainFrame::toggleEverySystem() {
    GpsDevice* device = menuDevice();
    if (device == nullptr || !device->parser) {
        return;
    }
    device->parser->setEverySystem(!device->parser->readsEverySystem());
    // A live receiver's setup remembers the reading chosen by hand.
    if (SavedSetup* setup = menuDeviceSetup()) {
        setup->everySystem = device->parser->readsEverySystem() ? EverySystemChoice::ON : EverySystemChoice::OFF;
        saveSavedSetups();
    }
    // A replay that has ended would show nothing of the new reading: it plays its file again, read anew.
    if (!device->recordedFile.empty() && device->port && device->port->status().atEnd &&
        !device->restartSource(std::make_unique<FilePort>(device->recordedFile.c_str(), ReplayPace::RECEIVER))) {
        showError("Cannot read the GPS data file " + device->recordedFile +
                  " again: " + systemErrorText(device->port->status().systemError));
    }
}

void MainFrame::stopMenuDevice() {
    if (GpsDevice* device = menuDevice()) {
        device->stopByUser();
        refreshPages(nullptr);
    }
}

void showErrorBox(const std::string& message) {
    MessageBoxA(nullptr, message.c_str(), "Error", MB_ICONERROR);
}

void MainFrame::close() {
    if (confirmClose()) {
        DestroyWindow(mainWindow.hwnd);
    }
}

bool MainFrame::confirmClose() {
    // A log that holds bytes it could not write loses them at close: the user decides, knowing where it ends.
    std::string losses;
    for (const std::unique_ptr<TreeNode>& node : nodes) {
        if (node->device == nullptr) {
            continue;
        }
        for (const OutputReport& output : node->device->report().outputs) {
            const PortStatus& status = output.status;
            if (status.held > 0) {
                const bool full = status.systemError == ERROR_DISK_FULL || status.systemError == ERROR_HANDLE_DISK_FULL;
                losses += "The log file " + output.name + " is missing " + std::to_string(status.held) +
                          " bytes because " + (full ? "the disk is full" : "it cannot be written") +
                          ". It ends at byte " + std::to_string(status.bytes) + ".\n";
            }
        }
    }
    if (losses.empty()) {
        return true;
    }
    const std::string question = losses + "\nClose anyway?";
    return MessageBoxA(mainWindow.hwnd, question.c_str(), "Veltaro", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
           IDYES;
}

void MainFrame::stopDevices() {
    // Every device is asked before any is waited for: one deadline for all, so a close takes about
    // STOP_DEADLINE_MS however many echoes lag.
    const ULONGLONG deadline = GetTickCount64() + STOP_DEADLINE_MS;
    for (const std::unique_ptr<TreeNode>& node : nodes) {
        if (node->device != nullptr) {
            node->device->requestStop(deadline);
        }
    }
    for (const std::unique_ptr<TreeNode>& node : nodes) {
        if (node->device != nullptr) {
            node->device->waitStopped();
        }
    }
}

} // namespace veltaro
