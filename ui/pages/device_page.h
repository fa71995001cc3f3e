#pragma once

#include "gps/gps_device.h"
#include "ui/framework/dialog_page.h"

#include <string>

namespace veltaro {

// What a device's node shows: the port or file it reads and the outputs that receive a copy of its data,
// newest first. Its window is the modeless dialog dlgDevice; it looks at its device every 2 seconds while shown.
class DevicePage : public DialogPage {
public:
    DevicePage(GpsDevice* device, ContainerPane* parent, const SharedGdi& gdi);
    ~DevicePage() override;

    LRESULT onSize(WPARAM wParam, LPARAM lParam) override;
    // Nothing of the page follows the GPS data: it only starts looking at its device again once shown.
    void refresh() override;

    GpsDevice* device; // not owned

    // Rebuilds the status text and the output list from the device.
    void updateStatus();

private:
    INT_PTR onInitDialog() override;
    INT_PTR onTimer(WPARAM wParam) override;
    INT_PTR onCommand(WPARAM wParam) override;
    // A replay's "Pause" / "Play" button and speed choice, beside the title.
    void addReplayControls();
    INT_PTR onNotify(const NMHDR* header) override;
    void insertColumn(int index, const char* text, int width);
    // A right click on a row of the output list: "Stop" that output.
    void offerStop(int row);
    void fitColumns();
    void stopLooking();
    void layoutControls();

    int statusWidth = 0;  // the widest text of the status column, its header's included
    bool looking = false; // the status timer runs: only while the page is shown
};

// The device page's status text: the source ("Port COM3", "File C:\\day.gpsl"), how much came, and how
// long ago the last line did (or that its device is gone and is being looked for, or that a replay reached
// the end of its file), the lines whose checksum did not match, and the lines not read with the most
// frequent names. A device the user stopped says when instead of how data flows.
std::string deviceStatusText(const DeviceReport& report);

// An output's "Status" column: "writing", or what failed since when with the system's reason (and where a
// log ended that gave up), and the lines a lagging echo dropped; "stopped at byte N" once it was stopped.
std::string outputStatusText(const OutputReport& output);

} // namespace veltaro
