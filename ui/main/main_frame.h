#pragma once

#include "core/network_address.h"
#include "core/saved_setups.h"
#include "gps/gps_device.h"
#include "ui/framework/pane.h"
#include "ui/pages/ntrip_dialog.h"
#include "ui/pages/start_page.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace veltaro {

enum NodeKind : std::int32_t {
    NODE_START = 0,
    NODE_DEVICE = 1,
    NODE_VIEW = 2,
};

// One item of the tree: the pane shown when it is selected, and for a device node the device.
struct TreeNode {
    TreeNode* parentNode = nullptr;
    ContainerPane* pane = nullptr; // the root pane, a child window of the client area
    HTREEITEM item = nullptr;
    std::int32_t kind = NODE_START;
    std::int32_t live = 0;       // device nodes: 1 for a live receiver on a COM port
    GpsDevice* device = nullptr; // device nodes only

    // What the node owns: its panes in the order made (the root pane first), and its device.
    std::vector<std::unique_ptr<Pane>> panes;
    std::unique_ptr<GpsDevice> ownedDevice;

    bool made = true; // every pane's window was made

    // Keeps a pane built on this node's page; panes are handed over parents first.
    template <typename P>
    P* own(std::unique_ptr<P> pane) {
        P* kept = pane.get();
        panes.push_back(std::move(pane));
        return kept;
    }
    // Keeps a pane and makes its window in parentWindow, noting whether that worked.
    template <typename P>
    P* make(std::unique_ptr<P> pane, HWND parentWindow) {
        P* kept = own(std::move(pane));
        made = kept->create(parentWindow) && made;
        return kept;
    }

    TreeNode() = default;
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;
    ~TreeNode();
};

class MainFrame;

// One of the frame's own windows, whose messages go to one of the frame's handlers.
class FrameWindow : public Window {
public:
    using Handler = LRESULT (MainFrame::*)(UINT, WPARAM, LPARAM);
    FrameWindow(MainFrame& frame, Handler handler);
    bool create(const char* title, DWORD style, HWND parent, HMENU menu);

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    MainFrame& frame;
    Handler handler;
};

// Shows message in an error box captioned "Error".
void showErrorBox(const std::string& message);

// Asks where to save a device's data; false when the user cancels.
bool askLogPath(HWND owner, std::string& path);

// The one top-level window: the tree of nodes on the left, the splitter bar, and on the right the pane
// of the selected node. Everything here runs on the user-interface thread.
class MainFrame : public DeviceStarter {
public:
    explicit MainFrame(int showCommand);
    ~MainFrame();
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    // A node not yet added, whose root pane is made in the client area, titled title, with data handed
    // down to every pane built on it; its made says whether the root's window was.
    std::unique_ptr<TreeNode> newPageNode(TreeNode* parentNode, NodeKind kind, const char* title, void* data);
    void addNode(std::unique_ptr<TreeNode> node);
    void showNode(HTREEITEM item);
    void layoutFrame();
    void layoutPages();
    // Refreshes the pages of the device whose parser is given, and those showing every device; every page
    // when parser is null.
    void refreshPages(const GpsParser* parser);

    // The keyboard's way through the window, for the message loop: Tab and Shift+Tab move the focus
    // between the tree and the shown page's controls, and a dialog page gets its dialog keys. True
    // when the message was handled and must not be dispatched again.
    bool handleDialogKeys(MSG& message);

    // Device start and the device commands of the tree's context menu.
    void startDevice(int port, int baud, bool saveToFile, bool echo, int echoPort, int echoBaud) override;
    // Asks for a recorded log and replays it as a device on recorded data.
    void openGpsDataFile() override;
    // Replays the log at path; false, after telling the user why, when it cannot be read.
    bool startRecordedDevice(const std::string& path);
    // Reads the saved setups kept at path, tells of a file that cannot be used, and starts the setups ticked
    // "Start at launch".
    void loadSavedSetups(const std::wstring& path);
    void startSavedDevice() override;
    void showDeviceMenu();

    // The "Sat stats" and "Current route" pages of a started device.
    std::unique_ptr<TreeNode> buildSatStats(GpsState* state);
    // fixes: the positions the device reported since the route view last took them.
    std::unique_ptr<TreeNode> buildCurrentRoute(GpsState* state, std::vector<TrackFix>* fixes);
    // A page that is one pane filling its node, made by make on the node's root pane.
    std::unique_ptr<TreeNode> buildPage(const char* title, GpsState* state,
                                        const std::function<std::unique_ptr<Pane>(ContainerPane* root)>& make);

    void saveDataToFile();
    void echoToPort();
    // Asks for a network source and starts a device on it, with the live device's pages and menu.
    void connectNetworkSource();
    // The menu's device's stream to any number of programs on a TCP port, or in datagrams to a host or broadcast.
    void serveOnTcpPort();
    void sendOverUdp();
    // Asks for a caster and writes its corrections to the menu's device's receiver.
    void askForCorrections();
    // Reads every satellite system's sentences on the menu's device, or only the GPS ones again.
    void toggleEverySystem();
    // Stops the menu's device; its node and pages stay with the last state.
    void stopMenuDevice();
    // Destroys the main window, unless a log would lose bytes it could not write and the user keeps it open.
    void close();
    // Stops every device without losing a byte; the window is closing.
    void stopDevices();

    FrameWindow mainWindow{*this, &MainFrame::onMainMessage};
    FrameWindow clientWindow{*this, &MainFrame::onClientMessage}; // the parent of the node panes
    HWND splitterWindow = nullptr;
    HWND treeWindow = nullptr;
    TreeNode* rootNode = nullptr;
    HIMAGELIST imageList = nullptr;
    std::int32_t splitPosition = 150; // the tree's width and the bar's x
    std::int32_t splitterWidth = 4;
    std::recursive_mutex nodesLock; // guards nodes
    std::vector<std::unique_ptr<TreeNode>> nodes;
    TreeNode* currentNode = nullptr;
    TreeNode* menuNode = nullptr;    // the node the device commands act on
    TreeNode* compareNode = nullptr; // "Compare receivers", once two devices exist

    std::vector<SavedSetup> setups; // the live devices' setups, most recently used first
    std::wstring setupsPath;        // where they are kept; empty: nowhere, as in tests that do not ask
    NtripChoice lastCaster;         // the caster asked last, offered again; in memory only
    std::string udpDestination = "255.255.255.255:10110"; // where UDP output went last, offered again

    // Tells the user why a device or an output could not start; tests put a recorder here.
    void (*showError)(const std::string& message) = showErrorBox;

private:
    LRESULT onMainMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onClientMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onNotify(const NMHDR* header);
    LRESULT onCommand(WPARAM wParam);
    void onPaint();
    void onGetMinMaxInfo(MINMAXINFO* info);
    // The window moved to a monitor of another scale: fonts, bar and panes follow, in the size Windows suggests.
    void onDpiChanged(int dpi, const RECT& suggested);
    void moveFocus(bool backwards);
    void buildStartNode();
    void addDeviceNode(std::unique_ptr<GpsDevice> device, const char* title, std::int32_t live);
    // Adds "Compare receivers" under the root once a second device exists.
    void addCompareNode();
    void addLogFile(GpsDevice& device);
    void addEchoPort(GpsDevice& device, int portNumber, int baudRate);
    // Starts a live device as setup says, its log appended to or started anew; false when it did not start.
    bool startLiveDevice(const SavedSetup& setup, bool appendLog);
    // Starts a saved setup, after checking its port is there and asking what to do with a log that exists.
    void startSetup(SavedSetup setup);
    // The network outputs the saved setup of the same port has: only its menu adds them, so a start from the start
    // page or the network dialog keeps them.
    void addRememberedOutputs(SavedSetup& setup) const;
    // Keeps setup as the most recent and writes the file.
    void keepSetup(SavedSetup setup);
    void saveSavedSetups();
    // The network sources among the setups, most recently used first.
    std::vector<std::string> usedAddresses() const;
    // Whether a setup is a network source's, and its address.
    static bool isNetworkSetup(const SavedSetup& setup, NetworkAddress& address);
    GpsDevice* menuDevice() const;
    // The saved setup of the menu's device, if it is a live one that has one.
    SavedSetup* menuDeviceSetup();
    // A network output on device, or a message saying why it could not start; false then.
    bool addTcpServer(GpsDevice& device, std::uint16_t port);
    bool addUdpOutput(GpsDevice& device, const std::string& destination);
    // The node an item of the tree stands for; false when the tree does not know the item.
    bool nodeOfItem(HTREEITEM item, TreeNode*& node) const;
    bool confirmClose();

    StartPage* startPage = nullptr; // owned by the root node; its layout sets the window's minimum size
};

// The tree image of a node: the start page, a live or recorded device, or a view.
int nodeImage(const TreeNode& node);

} // namespace veltaro
