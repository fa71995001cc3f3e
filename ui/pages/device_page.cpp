#include "ui/pages/device_page.h"

#include "ports/file_port.h"
#include "ports/net_socket.h"
#include "ports/system_error.h"
#include "res/resource.h"
#include "ui/framework/counts.h"
#include "ui/pages/dialog_controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace veltaro {

namespace {

constexpr UINT_PTR STATUS_TIMER = 0;
constexpr UINT STATUS_PERIOD_MS = 2000;
constexpr int FILE_COLUMN_WIDTH = 300;
constexpr int CELL_PADDING = 16; // a list view insets the text of a cell on both sides
constexpr int STATUS_LINES = 10;
constexpr int PAUSE_WIDTH = 60;
constexpr int SPEED_WIDTH = 130;

constexpr std::size_t MOST_NAMES_SHOWN = 3;

std::string clockTime(const SYSTEMTIME& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", time.wHour, time.wMinute, time.wSecond);
    return text;
}

// One line for each reason the port gave, with the rates it refused for it: a driver refuses its rates above
// the fastest it can for one reason.
std::string refusedRatesText(const std::string& port, const std::vector<BaudSearch::SkippedRate>& refused) {
    std::string text;
    std::vector<bool> told(refused.size(), false);
    for (std::size_t i = 0; i < refused.size(); ++i) {
        if (told[i]) {
            continue;
        }
        text += "\n  " + port + " refused " + std::to_string(refused[i].rate);
        for (std::size_t j = i + 1; j < refused.size(); ++j) {
            if (!told[j] && refused[j].reason == refused[i].reason) {
                text += ", " + std::to_string(refused[j].rate);
                told[j] = true;
            }
        }
        text += " baud";
        if (!refused[i].reason.empty()) {
            text += ": " + refused[i].reason;
        }
    }
    return text;
}

// How RTK corrections come: "corrections: 12,345 bytes from CASTER/MOUNT, last 1 s ago", or why they do not.
std::string correctionsText(const CorrectionsStatus& corrections, std::int64_t ageSeconds) {
    std::string text;
    if (corrections.failure != nullptr) {
        text = "corrections from " + corrections.caster + ": ";
        text += corrections.refusal.empty() ? std::string(corrections.failure) : corrections.refusal;
        text += " since " + clockTime(corrections.since);
        text += corrections.refusal.empty() ? ", reconnecting: " + socketErrorText(corrections.systemError)
                                            : ", asking again";
    } else if (!corrections.lastAt) {
        text = "corrections: waiting for " + corrections.caster;
    } else {
        text = "corrections: " + withThousands(corrections.bytes) + plural(corrections.bytes, " byte", " bytes") +
               " from " + corrections.caster + ", last " + std::to_string(ageSeconds) + " s ago";
    }
    if (corrections.notWritten > 0) {
        text += "; " + withThousands(corrections.notWritten) + plural(corrections.notWritten, " byte", " bytes") +
                " the receiver's port could not take";
    }
    return text;
}

} // namespace

DevicePage::DevicePage(GpsDevice* device, ContainerPane* parent, const SharedGdi& gdi)
    : DialogPage(parent, gdi, dlgDevice), device(device) {
    data = &device->snapshot;
}

DevicePage::~DevicePage() {
    if (hwnd != nullptr) {
        stopLooking();
    }
}

INT_PTR DevicePage::onInitDialog() {
    // The columns first: a status set before its column exists would not show until the next look.
    insertColumn(0, "File", gdi.scaled(FILE_COLUMN_WIDTH));
    insertColumn(1, "Status", gdi.scaled(FILE_COLUMN_WIDTH));
    updateStatus();
    if (!device->recordedFile.empty()) {
        SetDlgItemTextA(hwnd, IDC_DEVICE_TITLE, "Recorded GPS Device");
        addReplayControls();
    }
    SendDlgItemMessageA(hwnd, IDC_DEVICE_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.boldFont), FALSE);
    refresh();
    return TRUE;
}

void DevicePage::refresh() {
    if (hwnd == nullptr) {
        return;
    }
    if (!IsWindowVisible(hwnd)) {
        stopLooking();
    } else if (!looking) {
        // Outputs can be added from the tree's menu at any time: while shown, the page looks again every 2 s.
        updateStatus();
        looking = SetTimer(hwnd, STATUS_TIMER, STATUS_PERIOD_MS, nullptr) != 0;
    }
}

void DevicePage::stopLooking() {
    if (looking) {
        KillTimer(hwnd, STATUS_TIMER); // hidden: nothing to keep up to date until it is shown again
        looking = false;
    }
}

INT_PTR DevicePage::onTimer(WPARAM) {
    if (!IsWindowVisible(hwnd)) {
        stopLooking();
        return TRUE;
    }
    updateStatus();
    return TRUE;
}

void DevicePage::addReplayControls() {
    auto* file = dynamic_cast<FilePort*>(device->port.get());
    if (file == nullptr) {
        return;
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    CreateWindowExA(0, "BUTTON", file->pausedByUser() ? "Play" : "Pause", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0,
                    0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DEVICE_PAUSE)), instance, nullptr);
    HWND speed =
        CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 0, 0, hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DEVICE_SPEED)), instance, nullptr);
    const struct {
        const char* text;
        ReplaySpeed speed;
    } speeds[] = {{"Real time", ReplaySpeed::REAL_TIME},
                  {"10 times", ReplaySpeed::TEN_TIMES},
                  {"As fast as possible", ReplaySpeed::FASTEST}};
    for (const auto& choice : speeds) {
        const LRESULT index = addComboEntry(speed, choice.text, static_cast<int>(choice.speed));
        if (choice.speed == file->speed()) {
            SendMessageA(speed, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }
    for (const int id : {IDC_DEVICE_PAUSE, IDC_DEVICE_SPEED}) {
        SendDlgItemMessageA(hwnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.guiFont), FALSE);
    }
}

INT_PTR DevicePage::onCommand(WPARAM wParam) {
    auto* file = dynamic_cast<FilePort*>(device->port.get());
    if (file == nullptr) {
        return FALSE;
    }
    if (LOWORD(wParam) == IDC_DEVICE_PAUSE && HIWORD(wParam) == BN_CLICKED) {
        file->steer(!file->pausedByUser(), file->speed());
        SetDlgItemTextA(hwnd, IDC_DEVICE_PAUSE, file->pausedByUser() ? "Play" : "Pause");
        return TRUE;
    }
    if (LOWORD(wParam) == IDC_DEVICE_SPEED && HIWORD(wParam) == CBN_SELCHANGE) {
        const int speed = selectedComboData(GetDlgItem(hwnd, IDC_DEVICE_SPEED));
        file->steer(file->pausedByUser(), speed == CB_ERR ? file->speed() : static_cast<ReplaySpeed>(speed));
        return TRUE;
    }
    return FALSE;
}

INT_PTR DevicePage::onNotify(const NMHDR* header) {
    if (header->idFrom == IDC_DEVICE_OUTPUT_LIST && header->code == NM_RCLICK) {
        offerStop(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
        return TRUE;
    }
    return FALSE;
}

void DevicePage::insertColumn(int index, const char* text, int width) {
    LVCOLUMNA column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = width;
    std::string header = text;
    column.pszText = header.data();
    SendDlgItemMessageA(hwnd, IDC_DEVICE_OUTPUT_LIST, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&column));
}

void DevicePage::updateStatus() {
    const DeviceReport report = device->report();
    SetDlgItemTextA(hwnd, IDC_DEVICE_STATUS, deviceStatusText(report).c_str());
    HWND list = GetDlgItem(hwnd, IDC_DEVICE_OUTPUT_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    statusWidth = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("Status")));
    for (const OutputReport& output : report.outputs) {
        LVITEMA row;
        ZeroMemory(&row, sizeof row);
        row.mask = LVIF_TEXT;
        row.iItem = 0; // each at the top: the newest output comes first
        std::string name = output.name;
        row.pszText = name.data();
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
        std::string status = outputStatusText(output);
        row.iSubItem = 1;
        row.pszText = status.data();
        SendMessageA(list, LVM_SETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&row));
        statusWidth = std::max(statusWidth, static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0,
                                                                          reinterpret_cast<LPARAM>(status.c_str()))));
    }
    fitColumns();
}

// The status column is as wide as its longest text, so what failed, why, and the lines dropped read whole
// without scrolling; the file column keeps its 300 pixels where that leaves room, and gives way down to a
// quarter of the list where it does not.
void DevicePage::fitColumns() {
    HWND list = GetDlgItem(hwnd, IDC_DEVICE_OUTPUT_LIST);
    RECT client;
    GetClientRect(list, &client);
    const int width = client.right - client.left;
    const int file =
        std::min(gdi.scaled(FILE_COLUMN_WIDTH), std::max(width / 4, width - statusWidth - gdi.scaled(CELL_PADDING)));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(file, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(std::max(width - file, 0), 0));
}

std::string deviceStatusText(const DeviceReport& report) {
    const PortStatus& source = report.sourceStatus;
    const std::int64_t lines = report.lines;
    const std::int64_t secondsSinceLastLine = report.secondsSinceLastLine;
    const BaudStatus& baud = source.baud;
    const std::string sourceLine =
        baud.found != 0 ? report.source + ", found at " + std::to_string(baud.found) + " baud" : report.source;
    char text[4000];
    int length =
        std::snprintf(text, sizeof text, "Status:\n  %s\n  %lld %s received, %lld %s decoded\n", sourceLine.c_str(),
                      static_cast<long long>(source.bytes), plural(source.bytes, "byte", "bytes"),
                      static_cast<long long>(lines), plural(lines, "line", "lines"));
    std::size_t used = static_cast<std::size_t>(std::max(length, 0));
    const bool searching = !report.stoppedAt && source.failure == nullptr && baud.trying != 0;
    if (report.stoppedAt) {
        // Nothing flows any more: when it stopped takes the place of how data flows.
        length =
            std::snprintf(text + used, sizeof text - used, "  stopped at %s", clockTime(*report.stoppedAt).c_str());
    } else if (source.failure != nullptr && source.reconnecting) {
        length = std::snprintf(text + used, sizeof text - used, "  %s since %s, reconnecting: %s", source.failure,
                               clockTime(source.since).c_str(), socketErrorText(source.systemError).c_str());
    } else if (source.failure != nullptr) {
        length = std::snprintf(text + used, sizeof text - used, "  %s since %s%s", source.failure,
                               clockTime(source.since).c_str(), source.reopening ? ", reopening" : "");
    } else if (searching) {
        // Nothing is delivered until the rate is found: how the search goes is how data flows.
        length = baud.nothingFound
                     ? std::snprintf(text + used, sizeof text - used, "  no NMEA found at any baud rate; trying again")
                     : std::snprintf(text + used, sizeof text - used, "  looking for the baud rate: trying %lu",
                                     static_cast<unsigned long>(baud.trying));
    } else if (source.atEnd) {
        length = std::snprintf(text + used, sizeof text - used, "  end of file");
    } else if (lines == 0 || secondsSinceLastLine >= QUIET_SECONDS) {
        // Bytes that never end a line are not silence: a line without end, or a wrong baud rate.
        length = std::snprintf(text + used, sizeof text - used,
                               report.bytesWithoutLine ? "  bytes arriving, no complete line for %lld s"
                                                       : "  no data for %lld s",
                               static_cast<long long>(secondsSinceLastLine));
    } else {
        length = std::snprintf(text + used, sizeof text - used, "  last line %lld s ago",
                               static_cast<long long>(secondsSinceLastLine));
    }
    used = std::min(used + static_cast<std::size_t>(std::max(length, 0)), sizeof text - 1);
    std::string status = text;
    if (searching) {
        // "Port COM5" names the port the rates were refused by.
        status += refusedRatesText(report.source.substr(report.source.find(' ') + 1), baud.refused);
    }
    if (report.corrections) {
        status += "\n  " + correctionsText(*report.corrections, report.correctionsAgeSeconds);
    }
    if (!report.everySystemSwitchedBy.empty()) {
        status += "\n  Reading every satellite system: the receiver sends " + report.everySystemSwitchedBy;
    }
    if (report.badChecksums > 0) {
        status.append("\n  ").append(withThousands(report.badChecksums));
        status.append(plural(report.badChecksums, " line", " lines")).append(" with a bad checksum, not read");
    }
    const NotReadLines& notRead = report.notRead;
    if (notRead.lines > 0) {
        status += "\n  " + withThousands(notRead.lines) + plural(notRead.lines, " line", " lines") + " not read:";
        const std::size_t shown = std::min<std::size_t>(notRead.names.size(), MOST_NAMES_SHOWN);
        for (std::size_t i = 0; i < shown; ++i) {
            status += (i == 0 ? " " : ", ") + notRead.names[i].first;
        }
        if (notRead.otherSystems) {
            status += "\n  Choose 'Read every satellite system' from the device's menu to show them.";
        }
    }
    if (notRead.unreadable > 0) {
        status.append("\n  ").append(withThousands(notRead.unreadable));
        status.append(plural(notRead.unreadable, " unreadable line", " unreadable lines"));
    }
    return status;
}

namespace {

// A TCP server's clients: "3 clients, 1,204 lines dropped for 1".
std::string clientsText(const PortStatus& status) {
    std::string text = std::to_string(status.clients) + plural(status.clients, " client", " clients");
    if (status.droppedLines > 0) {
        text += ", " + withThousands(status.droppedLines) + plural(status.droppedLines, " line", " lines") +
                " dropped for " + std::to_string(status.droppedFor);
    }
    return text;
}

} // namespace

std::string outputStatusText(const OutputReport& output) {
    const PortStatus& status = output.status;
    if (status.clients >= 0 && status.failure == nullptr) {
        return output.stopped ? "stopped at byte " + std::to_string(status.bytes) + ", " + clientsText(status)
                              : clientsText(status);
    }
    std::string text = "writing";
    if (status.failure != nullptr) {
        text = std::string(status.failure) + " since " + clockTime(status.since);
        const std::string reason = status.systemError != 0 ? systemErrorText(status.systemError) : "";
        if (status.reopening) {
            text += ", reopening"; // as the source says of itself: the reason of a pulled adapter tells nothing
        } else if (!reason.empty()) {
            text += " (" + reason + ")";
        }
        if (status.endedAt >= 0) {
            text = "ended at byte " + std::to_string(status.endedAt) + ": " + text; // no longer trying
        }
    }
    if (status.droppedLines > 0) {
        text +=
            ", " + std::to_string(status.droppedLines) + plural(status.droppedLines, " line", " lines") + " dropped";
    }
    if (output.stopped) {
        // Closed with its device or on its own: what it had written is all it holds.
        text = "stopped at byte " + std::to_string(status.bytes) + (status.failure != nullptr ? ", " + text : "");
    }
    return text;
}

void DevicePage::offerStop(int row) {
    // Rows list the newest output first.
    const std::vector<OutputReport> outputs = device->report().outputs;
    const int index = static_cast<int>(outputs.size()) - 1 - row;
    if (row < 0 || index < 0 || outputs[static_cast<std::size_t>(index)].stopped) {
        return;
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDM_STOP_OUTPUT, "&Stop");
    const DWORD at = GetMessagePos();
    const int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                       GET_X_LPARAM(at), GET_Y_LPARAM(at), 0, hwnd, nullptr));
    DestroyMenu(menu);
    if (chosen == IDM_STOP_OUTPUT) {
        device->stopOutput(index);
        updateStatus();
    }
}

LRESULT DevicePage::onSize(WPARAM wParam, LPARAM lParam) {
    Pane::onSize(wParam, lParam);
    layoutControls();
    return 1;
}

void DevicePage::layoutControls() {
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    const int c = gdi.lineHeight();
    const auto s = [this](int pixels) { return gdi.scaled(pixels); }; // the figures are for 96 DPI
    // A replay's controls stand at the title's right end; the title keeps clear of them.
    const int pause = s(PAUSE_WIDTH);
    const int speed = s(SPEED_WIDTH);
    const int controls = GetDlgItem(hwnd, IDC_DEVICE_PAUSE) != nullptr ? pause + speed + s(8) : 0;
    placeControls(hwnd,
                  {
                      {IDC_DEVICE_TITLE, s(4), s(4), std::max(w - s(8) - controls, 0), c},
                      {IDC_DEVICE_PAUSE, w - s(4) - speed - s(4) - pause, s(2), pause, c + s(8)},
                      {IDC_DEVICE_SPEED, w - s(4) - speed, s(2), speed, 8 * c},
                      // The status: the port, whether data flows and since when, bad checksums, the
                      // lines not read and what to do about them (which may wrap).
                      {IDC_DEVICE_STATUS, s(4), c + s(12), w - s(8), STATUS_LINES * c},
                      {IDC_DEVICE_OUTPUTS_LABEL, s(4), (STATUS_LINES + 1) * c + s(16), w - s(8), c},
                      {IDC_DEVICE_OUTPUT_LIST, s(4), (STATUS_LINES + 2) * c + s(20), w - s(8),
                       h - (STATUS_LINES + 2) * c - s(28)},
                  },
                  7);
    fitColumns();
}

} // namespace veltaro
