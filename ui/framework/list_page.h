#pragma once

#include "ui/framework/drawing_resources.h"
#include "ui/framework/pane.h"

#include <string>
#include <vector>

namespace veltaro {

// A page that is a report-style list filled as it is drawn (a virtual list: the list asks for the cells it
// shows), with a strip of controls above it and a line of text below. It does nothing while hidden: refresh
// looks at the data only while the page is shown, at most twice a second (the frame refreshes a page as it
// shows it).
class ListPage : public Pane {
public:
    struct Column {
        const char* title;
        int width;
        int format; // LVCFMT_LEFT or LVCFMT_RIGHT
    };

    bool create(HWND parentWindow) override;
    void refresh() override;
    LRESULT onSize(WPARAM wParam, LPARAM lParam) override;

    HWND list = nullptr;
    HWND summary = nullptr; // the line below the list

protected:
    ListPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, std::vector<Column> columns,
             int stripHeight);

    // The text of a cell; the list asks only for the rows it shows.
    virtual std::string cellText(int row, int column) = 0;
    // Brings the rows up to date with the data; only called while the page is shown.
    virtual void update() = 0;
    // Makes the controls of the strip above the list (none by default); false when one cannot be made.
    virtual bool createStrip() { return true; }
    // Places the strip's controls across the width given.
    virtual void layoutStrip(int) {}
    virtual LRESULT onListNotify(const NMHDR* header);
    virtual LRESULT onCommand(WPARAM wParam, LPARAM lParam);

    // A child control in the page's font; null when it cannot be made.
    HWND makeControl(const char* windowClass, const char* text, DWORD style, int id);
    // Sets the number of rows, keeping what is shown in place unless scrollToEnd.
    void setRowCount(int rows, bool scrollToEnd);

    const SharedGdi& gdi;

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void layout();

    std::vector<Column> columns;
    int stripHeight;
    std::string cell;        // the text the list was last handed: it reads it after the notification returns
    ULONGLONG updatedAt = 0; // GetTickCount64 of the last update from refresh
};

} // namespace veltaro
