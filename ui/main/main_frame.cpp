#include "ui/main/main_frame.h"

#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/framework/gdi_owners.h"
#include "ui/framework/splitter.h"

#include <dbt.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace veltaro {

TreeNode::~TreeNode() {
    // Children go before their parents: each leaves its parent's list on the way.
    while (!panes.empty()) {
        panes.pop_back();
    }
}

int nodeImage(const TreeNode& node) {
    switch (node.kind) {
    case NODE_START:
        return 0;
    case NODE_DEVICE:
        return node.live == 1 ? 1 : 2;
    case NODE_VIEW:
        return 3;
    default:
        return -1;
    }
}

namespace {

std::string windowText(HWND window) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool isDialog(HWND window) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    return std::strcmp(name, "#32770") == 0;
}

// Every window below root that takes the focus from the Tab key, in tab (z) order.
BOOL CALLBACK collectTabStop(HWND window, LPARAM stops) {
    if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_TABSTOP) != 0 && IsWindowVisible(window) &&
        IsWindowEnabled(window)) {
        reinterpret_cast<std::vector<HWND>*>(stops)->push_back(window);
    }
    return TRUE;
}

// Lists the ports there are now on the start page, if it was made.
void refillPorts(StartPage* page) {
    if (page != nullptr && page->hwnd != nullptr) {
        page->fillPorts();
    }
}

// The device changes that may add or remove a COM port.
bool changesPorts(WPARAM event) {
    return event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVNODES_CHANGED;
}

// Gives every window under parent that shows one of the shared fonts the same font at the display's new scale.
void refontChildren(HWND parent) {
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM) -> BOOL {
            const auto font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
            LOGFONTA shown;
            if (font != nullptr && GetObjectA(font, sizeof shown, &shown) == sizeof shown) {
                const SharedGdi& gdi = sharedGdi();
                const HFONT scaled = shown.lfWeight >= FW_BOLD ? gdi.boldFont : gdi.guiFont;
                SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(scaled), TRUE);
            }
            return TRUE;
        },
        0);
}

} // namespace

MainFrame::MainFrame(int showCommand) {
    InitCommonControls();
    registerSplitterClass();
    const SharedGdi& gdi = sharedGdi();

    if (!mainWindow.create("Veltaro", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, nullptr,
                           LoadMenuA(gdi.appInstance, mMain)) ||
        !clientWindow.create("", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, mainWindow.hwnd, nullptr)) {
        mainWindow.destroy(); // nothing to show: WinMain tells the user
        return;
    }
    // Laid out at the DPI of the monitor the window opened on; the figures are for 96.
    setSharedDpi(windowDpi(mainWindow.hwnd));
    splitPosition = gdi.scaled(splitPosition);
    splitterWidth = gdi.scaled(splitterWidth);
    SendMessageA(mainWindow.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(gdi.mainIconLarge));
    SendMessageA(mainWindow.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(gdi.mainIconSmall));

    // Full colour: with the mask alone the list may hold 16 colours only.
    imageList =
        ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 4, 1);
    for (HICON icon : {gdi.mainIconSmall, gdi.liveDeviceIcon, gdi.offlineDeviceIcon, gdi.viewIcon}) {
        ImageList_ReplaceIcon(imageList, -1, icon);
    }

    treeWindow = CreateWindowExA(WS_EX_STATICEDGE, WC_TREEVIEWA, "",
                                 WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_DISABLEDRAGDROP |
                                     TVS_SHOWSELALWAYS | TVS_NONEVENHEIGHT,
                                 0, 0, 0, 0, mainWindow.hwnd, nullptr, gdi.appInstance, nullptr);
    SendMessageA(treeWindow, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.guiFont), FALSE);
    SendMessageA(treeWindow, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(imageList));

    SplitterInfo splitter{treeWindow, clientWindow.hwnd, splitPosition, splitterWidth};
    splitterWindow = CreateWindowExA(0, "SPLITTER", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, mainWindow.hwnd, nullptr,
                                     gdi.appInstance, &splitter);
    if (treeWindow == nullptr || splitterWindow == nullptr) {
        mainWindow.destroy();
        return;
    }

    buildStartNode();
    // Within the screen's work area, which a large scale on a small screen would otherwise overrun.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + gdi.scaled(100);
    const int y = work.top + gdi.scaled(20);
    MoveWindow(mainWindow.hwnd, x, y, std::min<int>(gdi.scaled(680), work.right - x),
               std::min<int>(gdi.scaled(550), work.bottom - y), TRUE);
    ShowWindow(mainWindow.hwnd, showCommand);
}

MainFrame::~MainFrame() {
    stopDevices();
    clientWindow.destroy();
    mainWindow.destroy();
}

void MainFrame::buildStartNode() {
    std::unique_ptr<TreeNode> node = newPageNode(nullptr, NODE_START, "Veltaro", nullptr);
    auto page = std::make_unique<StartPage>(node->pane, sharedGdi());
    page->mainFrame = this;
    page->dock = DOCK_FILL;
    // Without its page the window still opens, and closes as usual.
    startPage = node->make(std::move(page), node->pane->hwnd);
    rootNode = node.get();
    addNode(std::move(node));
    SendMessageA(treeWindow, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(rootNode->item));
    // Shown without selecting its item: the tree starts with no selection.
    showNode(rootNode->item);
}

std::unique_ptr<TreeNode> MainFrame::newPageNode(TreeNode* parentNode, NodeKind kind, const char* title, void* data) {
    auto node = std::make_unique<TreeNode>();
    node->parentNode = parentNode;
    node->kind = kind;
    auto* root = node->own(std::make_unique<ContainerPane>(nullptr));
    root->data = data; // before anything is built on it: every pane takes its parent's
    node->made = root->create(clientWindow.hwnd);
    SetWindowTextA(root->hwnd, title);
    node->pane = root;
    return node;
}

void MainFrame::addNode(std::unique_ptr<TreeNode> owned) {
    TreeNode* node = owned.get();
    {
        std::lock_guard guard(nodesLock);
        if (nodes.size() == nodes.capacity()) {
            nodes.reserve(nodes.size() + 16);
        }
        nodes.push_back(std::move(owned));
    }
    std::string text = windowText(node->pane->hwnd);
    TVINSERTSTRUCTA insert;
    ZeroMemory(&insert, sizeof insert);
    insert.hParent = node->parentNode != nullptr ? node->parentNode->item : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST; // after the existing siblings
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.iImage = nodeImage(*node);
    insert.item.iSelectedImage = insert.item.iImage;
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    node->item =
        reinterpret_cast<HTREEITEM>(SendMessageA(treeWindow, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    ShowWindow(node->pane->hwnd, node == currentNode ? SW_SHOW : SW_HIDE);
    InvalidateRect(treeWindow, nullptr, FALSE);
}

bool MainFrame::nodeOfItem(HTREEITEM item, TreeNode*& node) const {
    TVITEMA query;
    ZeroMemory(&query, sizeof query);
    query.mask = TVIF_PARAM;
    query.hItem = item;
    if (!SendMessageA(treeWindow, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) {
        return false;
    }
    node = reinterpret_cast<TreeNode*>(query.lParam);
    return true;
}

void MainFrame::showNode(HTREEITEM item) {
    TreeNode* shown = nullptr;
    if (!nodeOfItem(item, shown)) {
        return;
    }
    if (currentNode != nullptr) {
        ShowWindow(currentNode->pane->hwnd, SW_HIDE);
    }
    currentNode = shown;
    if (currentNode == nullptr) {
        return;
    }
    RECT client;
    GetClientRect(clientWindow.hwnd, &client);
    MoveWindow(currentNode->pane->hwnd, 0, 0, client.right - client.left, client.bottom - client.top, TRUE);
    ShowWindow(currentNode->pane->hwnd, SW_SHOW);
    currentNode->pane->refresh();
    if (currentNode == rootNode) {
        refillPorts(startPage); // a port may have come or gone unannounced meanwhile
    }
}

void MainFrame::layoutFrame() {
    RECT client;
    GetClientRect(mainWindow.hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    MoveWindow(splitterWindow, splitPosition, 0, splitterWidth, h, TRUE);
    MoveWindow(treeWindow, 0, 0, splitPosition, h, TRUE);
    MoveWindow(clientWindow.hwnd, splitPosition + splitterWidth, 0, w - splitPosition - splitterWidth, h, TRUE);
}

void MainFrame::layoutPages() {
    RECT client;
    GetClientRect(clientWindow.hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    {
        std::lock_guard guard(nodesLock);
        // Hidden pages get the size too, so a page shows laid out the moment it is selected.
        {
            DeferredMoves batch(static_cast<int>(nodes.size()));
            for (const std::unique_ptr<TreeNode>& node : nodes) {
                batch.move(node->pane->hwnd, 0, 0, w, h);
            }
        }
        for (const std::unique_ptr<TreeNode>& node : nodes) {
            node->pane->setSize(w, h);
            node->pane->layout();
        }
    }
    if (currentNode != nullptr) {
        InvalidateRect(currentNode->pane->hwnd, nullptr, TRUE);
    }
}

void MainFrame::refreshPages(const GpsParser* parser) {
    for (const std::unique_ptr<TreeNode>& node : nodes) {
        const TreeNode* deviceNode = node->kind == NODE_DEVICE ? node.get() : node->parentNode;
        const GpsDevice* device = deviceNode != nullptr ? deviceNode->device : nullptr;
        // Another device's update leaves this page alone: its data did not change. A hidden page of this
        // device looks, but paints nothing.
        if (parser == nullptr || device == nullptr || device->parser.get() == parser) {
            node->pane->refresh();
        }
    }
}

void MainFrame::onPaint() {
    PaintScope paint(mainWindow.hwnd);
    RECT client;
    GetClientRect(mainWindow.hwnd, &client);
    FillRect(paint.get(), &client, GetSysColorBrush(COLOR_BTNFACE));
}

bool MainFrame::handleDialogKeys(MSG& message) {
    if (currentNode == nullptr || (message.hwnd != mainWindow.hwnd && !IsChild(mainWindow.hwnd, message.hwnd))) {
        return false;
    }
    const bool plainKey = GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && plainKey) {
        const LRESULT wants = SendMessageA(message.hwnd, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&message));
        if ((wants & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) == 0) {
            moveFocus(GetKeyState(VK_SHIFT) < 0);
            return true;
        }
    }
    // The pages are modeless dialogs: the one around the message's window gets Enter, Esc, arrows and
    // mnemonics as a dialog does.
    HWND page = currentNode->pane->hwnd;
    for (HWND window = message.hwnd; window != nullptr && window != page; window = GetParent(window)) {
        if (isDialog(window)) {
            return IsDialogMessageA(window, &message) != FALSE;
        }
    }
    return false;
}

void MainFrame::moveFocus(bool backwards) {
    // The ring: the tree, then every tab stop of the shown page.
    std::vector<HWND> stops{treeWindow};
    EnumChildWindows(currentNode->pane->hwnd, collectTabStop, reinterpret_cast<LPARAM>(&stops));
    const std::size_t count = stops.size();
    const HWND focus = GetFocus();
    std::size_t at = count; // the focus is outside the ring until found in it
    for (std::size_t i = 0; i < count; ++i) {
        if (stops[i] == focus || IsChild(stops[i], focus)) {
            at = i;
            break;
        }
    }
    std::size_t to = backwards ? count - 1 : 0; // from outside: the page's last stop, or the tree
    if (at < count) {
        to = backwards ? (at + count - 1) % count : (at + 1) % count;
    }
    HWND next = stops[to];
    HWND parent = GetParent(next);
    if (isDialog(parent)) {
        // As the dialog moves its own focus: push buttons take the default look, edits select their text.
        SendMessageA(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    } else {
        SetFocus(next);
    }
}

void MainFrame::onDpiChanged(int dpi, const RECT& suggested) {
    const int before = sharedGdi().dpi;
    if (!setSharedDpi(dpi)) {
        return;
    }
    // Everything laid out in pixels scales with the display; the panes keep their proportions.
    const auto rescale = [&](std::int32_t pixels) { return MulDiv(pixels, dpi, before); };
    splitPosition = rescale(splitPosition);
    splitterWidth = sharedGdi().scaled(4);
    setSplitterGeometry(splitterWindow, splitPosition, splitterWidth);
    {
        std::lock_guard guard(nodesLock);
        for (const std::unique_ptr<TreeNode>& node : nodes) {
            for (const std::unique_ptr<Pane>& pane : node->panes) {
                pane->width = rescale(pane->width);
                pane->height = rescale(pane->height);
            }
        }
    }
    refontChildren(mainWindow.hwnd);
    SetWindowPos(mainWindow.hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    layoutFrame();
    InvalidateRect(mainWindow.hwnd, nullptr, TRUE);
}

void MainFrame::onGetMinMaxInfo(MINMAXINFO* info) {
    if (startPage == nullptr || startPage->hwnd == nullptr) {
        return;
    }
    // The start page fills the client area beside the tree and the bar: the window keeps it large
    // enough for its controls.
    const SIZE page = startPage->minimumSize();
    RECT outer{0, 0, splitPosition + splitterWidth + page.cx, page.cy};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrA(mainWindow.hwnd, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrA(mainWindow.hwnd, GWL_EXSTYLE)));
    info->ptMinTrackSize.x = outer.right - outer.left;
    info->ptMinTrackSize.y = outer.bottom - outer.top;
}

LRESULT MainFrame::onNotify(const NMHDR* header) {
    if (header->hwndFrom != treeWindow) {
        return 0;
    }
    switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: // the item handle sits at the same place in both forms
        showNode(reinterpret_cast<const NMTREEVIEWA*>(header)->itemNew.hItem);
        break;
    case NM_RCLICK:
        showDeviceMenu();
        break;
    default:
        break;
    }
    return 0;
}

LRESULT MainFrame::onCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDM_EXIT:
        close();
        return 0;
    case IDM_SAVE_DATA:
        saveDataToFile();
        return 0;
    case IDM_ECHO:
        echoToPort();
        return 0;
    case IDM_CONNECT_NETWORK:
        connectNetworkSource();
        return 0;
    case IDM_SERVE_TCP:
        serveOnTcpPort();
        return 0;
    case IDM_SEND_UDP:
        sendOverUdp();
        return 0;
    case IDM_CORRECTIONS:
        askForCorrections();
        return 0;
    case IDM_EVERY_SYSTEM:
        toggleEverySystem();
        return 0;
    case IDM_STOP_DEVICE:
        stopMenuDevice();
        return 0;
    default:
        return -1;
    }
}

FrameWindow::FrameWindow(MainFrame& frame, Handler handler) : frame(frame), handler(handler) {}

bool FrameWindow::create(const char* title, DWORD style, HWND parent, HMENU menu) {
    return createWindow(0, title, style, parent, menu);
}

LRESULT FrameWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return (frame.*handler)(message, wParam, lParam);
}

LRESULT MainFrame::onMainMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        close();
        return 0;
    case WM_DESTROY:
        // Everything received until now still reaches the log files and echo ports.
        stopDevices();
        PostQuitMessage(0);
        break;
    case WM_SIZE:
        layoutFrame();
        return 0;
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_GETMINMAXINFO:
        onGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_NOTIFY:
        return onNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return onCommand(wParam);
    case SPN_POSCHANGED:
        if (reinterpret_cast<HWND>(wParam) == splitterWindow) {
            splitPosition = reinterpret_cast<const SplitterInfo*>(lParam)->position;
        }
        return 0;
    case WM_GPSUPDATE:
        refreshPages(reinterpret_cast<const GpsParser*>(lParam));
        return 0;
    case WM_DPICHANGED:
        onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DEVICECHANGE:
        if (changesPorts(wParam)) {
            refillPorts(startPage);
        }
        break; // the default answer grants what the system asks
    default:
        break;
    }
    return DefWindowProcA(mainWindow.hwnd, message, wParam, lParam);
}

LRESULT MainFrame::onClientMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        layoutPages();
        return 0;
    }
    return DefWindowProcA(clientWindow.hwnd, message, wParam, lParam);
}

} // namespace veltaro
