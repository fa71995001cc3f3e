// The main frame's network commands: a device on a network source, a device's stream served over TCP or sent over
// UDP, and RTK corrections from an NTRIP caster.
#include "core/network_address.h"
#include "ports/net_socket.h"
#include "ports/ntrip_client.h"
#include "ports/serial_port.h"
#include "ports/tcp_server_port.h"
#include "ports/udp_output_port.h"
#include "ports/win_handle.h"
#include "ui/main/device_error_text.h"
#include "ui/main/main_frame.h"
#include "ui/pages/network_output_dialogs.h"
#include "ui/pages/network_source_dialog.h"
#include "ui/pages/ntrip_dialog.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace veltaro {

namespace {

// Why a network output could not start, and that the device goes on.
std::string networkOutputFailure(const GpsDevice& device, const std::string& what) {
    const std::string reason =
        device.systemError != 0 ? what + ": " + socketErrorText(device.systemError) : deviceErrorText(device.error);
    return reason + "\n\nThe device goes on without it.";
}

// The request a dialog's fields make; false with problem set when the port is not one.
bool casterRequest(const NtripChoice& choice, NtripRequest& request, std::string& problem) {
    request.host = choice.host;
    request.mountpoint = choice.mountpoint;
    request.user = choice.user;
    request.password = choice.password;
    return parsePort(choice.port, request.port, problem);
}

// Fetches a caster's source table on a thread of its own while this thread goes on painting the windows and following
// the devices: a caster that answers slowly does not freeze them. The dialog asking takes no input meanwhile.
bool fetchWhileFollowing(const NtripRequest& request, std::vector<SourceTableStream>& streams, std::string& problem) {
    const WinHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    bool fetched = false;
    std::thread fetcher;
    try {
        fetcher = std::thread([&] {
            fetched = fetchSourceTable(request, streams, problem);
            SetEvent(done.get());
        });
    } catch (const std::system_error&) {
        return fetchSourceTable(request, streams, problem);
    }
    const HANDLE handles[] = {done.get()};
    std::optional<WPARAM> quit;
    while (MsgWaitForMultipleObjects(1, handles, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = message.wParam; // for the loop that ends on it, once the fetch is over
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    fetcher.join();
    if (quit) {
        PostQuitMessage(static_cast<int>(*quit));
    }
    return fetched;
}

} // namespace

std::vector<std::string> MainFrame::usedAddresses() const {
    std::vector<std::string> addresses;
    NetworkAddress address;
    for (const SavedSetup& setup : setups) {
        if (isNetworkSetup(setup, address)) {
            addresses.push_back(setup.port);
        }
    }
    return addresses;
}

bool MainFrame::isNetworkSetup(const SavedSetup& setup, NetworkAddress& address) {
    // A COM port's name has no scheme; a network source's is kept in its canonical form, which has.
    std::string problem;
    return setup.port.find("://") != std::string::npos && parseSourceAddress(setup.port, address, problem);
}

void MainFrame::connectNetworkSource() {
    NetworkSourceChoice choice;
    if (!showNetworkSourceDialog(mainWindow.hwnd, usedAddresses(), choice)) {
        return;
    }
    NetworkAddress address;
    std::string problem;
    if (!parseSourceAddress(choice.address, address, problem)) {
        showError(problem);
        return;
    }
    SavedSetup setup;
    setup.port = addressText(address);
    if (choice.saveToFile && !askLogPath(mainWindow.hwnd, setup.logPath)) {
        setup.logPath.clear();
    }
    if (choice.echo) {
        setup.echoes.push_back(
            {"COM" + std::to_string(choice.echoPort), static_cast<std::uint32_t>(std::max(choice.echoBaud, 0))});
    }
    addRememberedOutputs(setup);
    if (startLiveDevice(setup, false)) {
        keepSetup(setup);
    }
}

bool MainFrame::addTcpServer(GpsDevice& device, std::uint16_t port) {
    if (device.addEchoPort(std::make_unique<TcpServerPort>(port))) {
        return true;
    }
    showError(networkOutputFailure(device, "Cannot serve on TCP port " + std::to_string(port)));
    return false;
}

bool MainFrame::addUdpOutput(GpsDevice& device, const std::string& destination) {
    std::string host;
    std::uint16_t port = 0;
    std::string problem;
    if (!parseHostPort(destination, host, port, problem)) {
        showError(problem);
        return false;
    }
    if (device.addEchoPort(std::make_unique<UdpOutputPort>(host, port))) {
        return true;
    }
    showError(networkOutputFailure(device, "Cannot send over UDP to " + destination));
    return false;
}

void MainFrame::serveOnTcpPort() {
    GpsDevice* device = menuDevice();
    std::string portText;
    std::uint16_t port = 0;
    std::string problem;
    if (device == nullptr || !showTcpServerDialog(mainWindow.hwnd, portText)) {
        return;
    }
    if (!parsePort(portText, port, problem)) {
        showError(problem);
    } else if (addTcpServer(*device, port)) {
        // A live device serves there again when its setup starts.
        SavedSetup* setup = menuDeviceSetup();
        if (setup != nullptr &&
            std::find(setup->tcpServers.begin(), setup->tcpServers.end(), port) == setup->tcpServers.end()) {
            setup->tcpServers.push_back(port);
            saveSavedSetups();
        }
    }
}

void MainFrame::sendOverUdp() {
    GpsDevice* device = menuDevice();
    if (device != nullptr && showUdpOutputDialog(mainWindow.hwnd, udpDestination) &&
        addUdpOutput(*device, udpDestination)) {
        SavedSetup* setup = menuDeviceSetup();
        if (setup != nullptr && std::find(setup->udpDestinations.begin(), setup->udpDestinations.end(),
                                          udpDestination) == setup->udpDestinations.end()) {
            setup->udpDestinations.push_back(udpDestination);
            saveSavedSetups();
        }
    }
}

void MainFrame::askForCorrections() {
    GpsDevice* device = menuDevice();
    if (device == nullptr || dynamic_cast<SerialPort*>(device->port.get()) == nullptr) {
        return;
    }
    const FetchSourceTable fetch = [](const NtripChoice& caster, std::vector<SourceTableStream>& streams,
                                      std::string& problem) {
        NtripRequest request;
        return casterRequest(caster, request, problem) && fetchWhileFollowing(request, streams, problem);
    };
    NtripChoice choice = lastCaster;
    NtripRequest request;
    std::string problem;
    if (!showNtripDialog(mainWindow.hwnd, choice, fetch)) {
        return;
    }
    lastCaster = choice; // kept for the next time in memory only: a password is never written to a file
    if (!casterRequest(choice, request, problem)) {
        showError(problem);
    } else if (!device->startCorrections(request)) {
        showError("Cannot start the corrections from " + choice.host + ": " + deviceErrorText(device->error));
    }
}

} // namespace veltaro
