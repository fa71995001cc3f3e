#pragma once

#include "gps/sentence_log.h"
#include "ui/framework/list_page.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

// "Sentences": the device's last lines as they came, with when and what became of each. The list follows
// the newest line unless paused, and shows only the lines that start as the filter says.
class SentencesPage : public ListPage {
public:
    SentencesPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const SentenceLog& log);

    // The lines of the selected rows as shown, CR LF between them: what Ctrl+C copies.
    std::string selectedText();

    HWND pause = nullptr;
    HWND label = nullptr; // "Show only"
    HWND filter = nullptr;
    HWND count = nullptr;

protected:
    std::string cellText(int row, int column) override;
    void update() override;
    bool createStrip() override;
    void layoutStrip(int width) override;
    LRESULT onListNotify(const NMHDR* header) override;
    LRESULT onCommand(WPARAM wParam, LPARAM lParam) override;

private:
    bool lineOf(int row, LoggedLine& line);
    std::vector<int> selectedRows() const;
    // Selects the rows given, each moved up by up rows, and no other.
    void selectRows(const std::vector<int>& selected, int up);
    void rebuild();
    void setPaused(bool on);
    void copySelection();

    const SentenceLog& log;
    std::string prefix; // the filter: lines starting with it are shown; empty shows all
    bool paused = false;
    std::vector<std::int64_t> rows; // the numbers of the lines shown, oldest first
    std::vector<LoggedLine> frozen; // while paused: the rows as they were
    std::int64_t scanned = 0;       // lines looked at for the filter so far
    std::int64_t offsetMs = 0;      // the local clock's lead on UTC, as of offsetLookedUpAt
    ULONGLONG offsetLookedUpAt = 0; // GetTickCount64
    std::int64_t cachedNumber = -1; // the line last fetched, for the list's three cells a row
    LoggedLine cached;
};

// A line as the list shows it: control bytes and bytes above 126 as <0D>, a shortened line with "...".
std::string shownLine(const LoggedLine& line);
// "decoded", "not read", "bad checksum" or "cut".
const char* lineStateName(LineState state);

} // namespace veltaro
