#include "ports/net_socket.h"
#include "res/resource.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/net_peers.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/framework/utf8_text.h"
#include "ui/main/main_frame.h"
#include "ui/main/setups_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

std::vector<std::string> reportedErrors;
void recordError(const std::string& message) {
    reportedErrors.push_back(message);
}

// What the next dialog gets typed into its first field before OK.
std::string typed;
void typeAndConfirm(HWND dialog) {
    for (int id : {IDC_NETSOURCE_ADDRESS, IDC_TCPSERVER_PORT, IDC_UDPOUTPUT_TARGET}) {
        if (HWND field = GetDlgItem(dialog, id)) {
            SetWindowTextA(field, typed.c_str());
        }
    }
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

// The caster the NTRIP dialog gets typed into it before OK.
std::string casterPort;
LRESULT streamsListed = -1; // the rows "Streams..." listed from the caster's source table
void chooseTestCaster(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_NTRIP_HOST, "127.0.0.1");
    SetDlgItemTextA(dialog, IDC_NTRIP_PORT, casterPort.c_str());
    SendDlgItemMessageA(dialog, IDC_NTRIP_STREAMS, BM_CLICK, 0, 0);
    streamsListed = SendDlgItemMessageA(dialog, IDC_NTRIP_STREAM_LIST, LVM_GETITEMCOUNT, 0, 0);
    SetDlgItemTextA(dialog, IDC_NTRIP_MOUNTPOINT, "TEST");
    SetDlgItemTextA(dialog, IDC_NTRIP_USER, "rover");
    SetDlgItemTextA(dialog, IDC_NTRIP_PASSWORD, "secret");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

std::string capture(const char* name) {
    return test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name);
}

class NetworkCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    NetworkCommandsTest() : frame(SW_SHOWNORMAL) {
        frame.showError = recordError;
        reportedErrors.clear();
    }

    // Ctrl+N, as the program's message loop translates it, with the focus in the tree; true once a device node was
    // added or an error said.
    bool connectWithCtrlN(const std::string& address) {
        typed = address;
        test::whenWindowAppears("Connect to a network source", typeAndConfirm);
        const std::size_t devices = test::nodesOf(frame, NODE_DEVICE).size();
        const HACCEL keys = LoadAcceleratorsA(sharedGdi().appInstance, accMain);
        SetForegroundWindow(frame.mainWindow.hwnd);
        SetFocus(frame.treeWindow);
        test::pressKey('N', VK_CONTROL);
        return test::pumpMessagesUntil(
            [&] { return test::nodesOf(frame, NODE_DEVICE).size() > devices || !reportedErrors.empty(); },
            [&](MSG& message) { return TranslateAcceleratorA(frame.mainWindow.hwnd, keys, &message) != 0; });
    }

    MainFrame frame;
};

// A phone app or a multiplexer serves NMEA on TCP: Ctrl+N, its address, and the fix shows; the address is offered
// the next time, and a dropped connection is taken up again.
TEST_F(NetworkCommandsTest, TcpSourceFromCtrlNShowsTheFixAndIsRemembered) {
    test::LineServer server;
    const std::string address = "tcp://127.0.0.1:" + std::to_string(server.port());
    ASSERT_TRUE(connectWithCtrlN("127.0.0.1:" + std::to_string(server.port())));
    ASSERT_EQ(reportedErrors, std::vector<std::string>{});
    TreeNode& node = *test::nodesOf(frame, NODE_DEVICE).at(0);
    EXPECT_EQ(test::itemText(frame.treeWindow, node.item), address + ": Network GPS");
    EXPECT_EQ(node.live, 1);
    ASSERT_TRUE(server.waitForClient());
    ASSERT_TRUE(server.send(capture("garmin48.nmea")));
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return node.device->snapshot.fixQuality > 0; }));
    EXPECT_EQ(node.device->report().source, "Network " + address);
    ASSERT_FALSE(frame.setups.empty());
    EXPECT_EQ(frame.setups.front().port, address);
    frame.stopDevices();
}

TEST_F(NetworkCommandsTest, BadAddressesSayWhyAndAddNothing) {
    test::DatagramListener taken;
    const std::string takenAddress = "udp://:" + std::to_string(taken.port());
    const struct {
        std::string address;
        std::string error;
    } cases[] = {
        {"tcp://127.0.0.1:70000", "The port must be a number from 1 to 65535, not 70000."},
        {"no-such-host.invalid:10110",
         "Cannot connect to tcp://no-such-host.invalid:10110: " + socketErrorText(WSAHOST_NOT_FOUND)},
        {takenAddress, "Cannot listen on " + takenAddress + ": " + socketErrorText(WSAEADDRINUSE)},
    };
    for (const auto& c : cases) {
        reportedErrors.clear();
        ASSERT_TRUE(connectWithCtrlN(c.address)) << c.address;
        EXPECT_EQ(reportedErrors, std::vector<std::string>{c.error}) << c.address;
        EXPECT_TRUE(test::nodesOf(frame, NODE_DEVICE).empty());
    }
}

// The device menu's network outputs: a program on the TCP port and a listener of the UDP datagrams both get the
// receiver's stream as it comes, and the device's setup starts them again.
TEST_F(NetworkCommandsTest, DeviceMenuServesOnTcpAndSendsOverUdpAndTheSetupKeepsThem) {
    const std::wstring setupsFile = widen(test::temporaryPath("network-setups.ini"));
    frame.loadSavedSetups(setupsFile);
    test::LineServer server;
    ASSERT_TRUE(connectWithCtrlN("tcp://127.0.0.1:" + std::to_string(server.port())));
    ASSERT_TRUE(server.waitForClient());
    frame.menuNode = test::nodesOf(frame, NODE_DEVICE).at(0);
    GpsDevice& device = *frame.menuNode->device;

    const std::uint16_t serving = test::freeTcpPort();
    typed = std::to_string(serving);
    test::whenWindowAppears("Serve on a TCP port", typeAndConfirm);
    SendMessageA(frame.mainWindow.hwnd, WM_COMMAND, IDM_SERVE_TCP, 0);
    test::DatagramListener listener;
    const std::string destination = "127.0.0.1:" + std::to_string(listener.port());
    typed = destination;
    test::whenWindowAppears("Send over UDP", typeAndConfirm);
    SendMessageA(frame.mainWindow.hwnd, WM_COMMAND, IDM_SEND_UDP, 0);
    ASSERT_EQ(reportedErrors, std::vector<std::string>{});
    ASSERT_EQ(device.report().outputs.size(), 2u);
    EXPECT_EQ(device.report().outputs[0].name, "TCP port " + std::to_string(serving));
    EXPECT_EQ(device.report().outputs[1].name, "UDP to " + destination);

    test::StreamReader reader(serving);
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.report().outputs[0].status.clients == 1; }));
    const std::string stream = capture("garmin48.nmea");
    ASSERT_TRUE(server.send(stream));
    EXPECT_EQ(reader.read(stream.size()), stream);
    EXPECT_EQ(listener.receiveBytes(stream.size()), stream);
    frame.stopDevices();

    // Started again from its setup, the device has both outputs again.
    MainFrame again(SW_SHOWNORMAL);
    again.showError = recordError;
    std::vector<SavedSetup> saved = frame.setups;
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].tcpServers, std::vector<std::uint16_t>{serving});
    EXPECT_EQ(saved[0].udpDestinations, std::vector<std::string>{destination});
    saved[0].startAtLaunch = true;
    std::string problem;
    ASSERT_TRUE(saveSetups(setupsFile, saved, problem)) << problem;
    again.loadSavedSetups(setupsFile);
    ASSERT_EQ(test::nodesOf(again, NODE_DEVICE).size(), 1u);
    const std::vector<OutputReport> outputs = test::nodesOf(again, NODE_DEVICE).at(0)->device->report().outputs;
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[1].name, "UDP to " + destination);
    again.stopDevices();
}

// The receiver on COM5 gets the caster's corrections once they are asked for from its menu (its streams listed from
// the caster first), and the password goes into no file.
TEST_F(NetworkCommandsTest, CorrectionsFromTheMenuReachTheReceiver) {
    const std::string setupsPath = test::temporaryPath("corrections-setups.ini");
    frame.loadSavedSetups(widen(setupsPath));
    test::TestCaster::Options options;
    options.corrections = test::sampleCorrections(4000);
    test::TestCaster caster(options);
    frame.startDevice(5, 4800, false, false, 0, 0);
    frame.menuNode = test::nodesOf(frame, NODE_DEVICE).at(0);
    test::FarEnd receiver(15);

    casterPort = std::to_string(caster.port());
    test::whenWindowAppears("Corrections from an NTRIP caster", chooseTestCaster);
    SendMessageA(frame.mainWindow.hwnd, WM_COMMAND, IDM_CORRECTIONS, 0);
    ASSERT_EQ(reportedErrors, std::vector<std::string>{});
    EXPECT_EQ(streamsListed, 2) << "the caster's two streams";
    EXPECT_EQ(receiver.read(options.corrections.size()), options.corrections);
    EXPECT_EQ(frame.menuNode->device->report().corrections->caster, "127.0.0.1/TEST");
    frame.stopDevices();
    const std::string saved = test::readFile(setupsPath);
    EXPECT_NE(saved.find("[COM5]"), std::string::npos);
    EXPECT_EQ(saved.find("secret"), std::string::npos);
}

} // namespace
} // namespace veltaro
