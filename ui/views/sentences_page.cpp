#include "ui/views/sentences_page.h"

#include "ui/framework/counts.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace veltaro {

namespace {

enum : int { PAUSE_ID = 101, FILTER_ID = 102 };
constexpr int STRIP_HEIGHT = 22;

constexpr std::int64_t DAY_MS = 86400000;

// How far the computer's local clock is ahead of UTC now, in milliseconds. Asked once an update, not once a
// cell: the time zone lookup costs far more than the list's drawing.
std::int64_t localOffsetMs() {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return 0;
    }
    const auto msOfDay = [](const SYSTEMTIME& t) {
        return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * std::int64_t{1000} + t.wMilliseconds;
    };
    std::int64_t offset = msOfDay(local) - msOfDay(utc);
    // Across midnight the clocks' days differ: the offset is within half a day either way.
    offset += offset > DAY_MS / 2 ? -DAY_MS : offset < -DAY_MS / 2 ? DAY_MS : 0;
    return offset;
}

// hh:mm:ss.mmm of a UTC time on the local clock.
std::string arrivalTime(std::int64_t ms, std::int64_t offsetMs) {
    const std::int64_t ofDay = ((ms + offsetMs) % DAY_MS + DAY_MS) % DAY_MS;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ofDay / 3600000),
                  static_cast<long long>(ofDay / 60000 % 60), static_cast<long long>(ofDay / 1000 % 60),
                  static_cast<long long>(ofDay % 1000));
    return text;
}

// Text on the clipboard, where every program can paste it.
void putOnClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) {
        return;
    }
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (void* bytes = block != nullptr ? GlobalLock(block) : nullptr) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        if (SetClipboardData(CF_TEXT, block) == nullptr) {
            GlobalFree(block); // the clipboard took nothing: the block is still ours
        }
    } else if (block != nullptr) {
        GlobalFree(block);
    }
    CloseClipboard();
}

} // namespace

std::string shownLine(const LoggedLine& line) {
    std::string shown;
    shown.reserve(line.text.size() + 3);
    for (const char c : line.text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte > 126) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "<%02X>", byte);
            shown += hex; // nothing invisible hides in the list
        } else {
            shown += c;
        }
    }
    return line.shortened ? shown + "..." : shown;
}

const char* lineStateName(LineState state) {
    switch (state) {
    case LineState::DECODED:
        return "decoded";
    case LineState::NOT_READ:
        return "not read";
    case LineState::BAD_CHECKSUM:
        return "bad checksum";
    case LineState::CUT:
        return "cut";
    }
    return "";
}

SentencesPage::SentencesPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const SentenceLog& log)
    : ListPage(parent, ownedByParent, gdi,
               {{"Time", 90, LVCFMT_LEFT}, {"Line", 440, LVCFMT_LEFT}, {"State", 80, LVCFMT_LEFT}}, STRIP_HEIGHT),
      log(log) {}

bool SentencesPage::createStrip() {
    pause = makeControl("BUTTON", "Pause", WS_TABSTOP | BS_AUTOCHECKBOX, PAUSE_ID);
    label = makeControl("STATIC", "Show only", SS_LEFT, 0);
    filter = makeControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, FILTER_ID);
    count = makeControl("STATIC", "", SS_LEFTNOWORDWRAP, 0);
    return pause != nullptr && label != nullptr && filter != nullptr && count != nullptr;
}

void SentencesPage::layoutStrip(int width) {
    const int line = gdi.lineHeight();
    const auto s = [this](int pixels) { return gdi.scaled(pixels); }; // the figures are for 96 DPI
    const int y = s(4);
    MoveWindow(pause, s(4), y + s(2), s(64), line + s(4), TRUE);
    MoveWindow(label, s(76), y + s(4), s(60), line + s(2), TRUE);
    MoveWindow(filter, s(138), y, s(110), line + s(8), TRUE);
    MoveWindow(count, s(258), y + s(4), std::max(width - s(262), 0), line + s(2), TRUE);
}

bool SentencesPage::lineOf(int row, LoggedLine& line) {
    if (paused) {
        if (row < 0 || row >= static_cast<int>(frozen.size())) {
            return false;
        }
        line = frozen[static_cast<std::size_t>(row)];
        return true;
    }
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        return false;
    }
    const std::int64_t number = rows[static_cast<std::size_t>(row)];
    if (number != cachedNumber) {
        if (!log.get(number, cached)) {
            return false;
        }
        cachedNumber = number;
    }
    line = cached;
    return true;
}

std::string SentencesPage::cellText(int row, int column) {
    LoggedLine line;
    if (!lineOf(row, line)) {
        return "";
    }
    switch (column) {
    case 0:
        return arrivalTime(line.arrivedMs, offsetMs);
    case 1:
        return shownLine(line);
    default:
        return lineStateName(line.state);
    }
}

void SentencesPage::update() {
    // The local clock's offset changes twice a year: looking it up once a minute is plenty.
    const ULONGLONG now = GetTickCount64();
    if (offsetLookedUpAt == 0 || now - offsetLookedUpAt > 60000) {
        offsetMs = localOffsetMs();
        offsetLookedUpAt = now;
    }
    const std::int64_t first = log.first();
    const std::int64_t end = log.end();
    if (!paused) {
        const auto gone = std::lower_bound(rows.begin(), rows.end(), first);
        const int dropped = static_cast<int>(gone - rows.begin());
        const bool shifted = dropped > 0;
        const int before = static_cast<int>(rows.size()) - dropped;
        const std::vector<int> selected = shifted ? selectedRows() : std::vector<int>{};
        rows.erase(rows.begin(), gone);
        for (std::int64_t number = std::max(scanned, first); number < end; ++number) {
            LoggedLine line;
            if (log.get(number, line) && line.text.compare(0, prefix.size(), prefix) == 0) {
                rows.push_back(number);
            }
        }
        scanned = end;
        cachedNumber = -1; // a line's state is told after the line, so the last one shown may have changed
        setRowCount(static_cast<int>(rows.size()), true);
        if (shifted) {
            // Every row moved up: so does the selection, which the list keeps by row.
            selectRows(selected, dropped);
            InvalidateRect(list, nullptr, FALSE);
        } else if (before > 0) {
            SendMessageA(list, LVM_REDRAWITEMS, static_cast<WPARAM>(before - 1), static_cast<LPARAM>(before - 1));
        }
    }
    const std::string text = withThousands(end - first) + " lines kept, " +
                             withThousands(static_cast<std::int64_t>(paused ? frozen.size() : rows.size())) + " shown";
    char shown[64] = "";
    GetWindowTextA(count, shown, sizeof shown);
    if (text != shown) {
        SetWindowTextA(count, text.c_str());
    }
}

std::vector<int> SentencesPage::selectedRows() const {
    std::vector<int> selected;
    for (int row = -1;
         (row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0;) {
        selected.push_back(row);
    }
    return selected;
}

void SentencesPage::selectRows(const std::vector<int>& selected, int up) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    for (const int row : selected) {
        if (row >= up) {
            SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row - up), reinterpret_cast<LPARAM>(&item));
        }
    }
}

void SentencesPage::rebuild() {
    selectRows({}, 0); // other rows now: what was selected is no longer there
    rows.clear();
    scanned = 0;
    const bool wasPaused = paused;
    paused = false;
    update();
    if (wasPaused) {
        setPaused(true);
    }
    InvalidateRect(list, nullptr, FALSE);
}

void SentencesPage::setPaused(bool on) {
    paused = on;
    frozen.clear();
    if (on) {
        for (std::size_t row = 0; row < rows.size(); ++row) {
            LoggedLine line;
            log.get(rows[row], line); // a line gone meanwhile stays an empty row: the selection keeps its place
            frozen.push_back(line);
        }
        setRowCount(static_cast<int>(frozen.size()), false);
        InvalidateRect(list, nullptr, FALSE);
    } else {
        update(); // to the newest
        InvalidateRect(list, nullptr, FALSE);
    }
}

std::string SentencesPage::selectedText() {
    std::string text;
    for (const int row : selectedRows()) {
        LoggedLine line;
        if (lineOf(row, line)) {
            text += (text.empty() ? "" : "\r\n") + shownLine(line);
        }
    }
    return text;
}

void SentencesPage::copySelection() {
    const std::string text = selectedText();
    if (!text.empty()) {
        putOnClipboard(hwnd, text);
    }
}

LRESULT SentencesPage::onListNotify(const NMHDR* header) {
    if (header->code != LVN_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) {
        return 0;
    }
    const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey;
    if (key == 'C') {
        copySelection();
    } else if (key == 'A') {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    }
    return 0;
}

LRESULT SentencesPage::onCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) == PAUSE_ID && HIWORD(wParam) == BN_CLICKED) {
        setPaused(SendMessageA(pause, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (LOWORD(wParam) == FILTER_ID && HIWORD(wParam) == EN_CHANGE) {
        char text[64] = "";
        GetWindowTextA(filter, text, sizeof text);
        prefix = text;
        rebuild();
    }
    return 0;
}

} // namespace veltaro
