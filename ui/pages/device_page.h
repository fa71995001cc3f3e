#pragma once

#include "gps/gps_device.h"
#include "ui/framework/pane.h"

#include <cstdint>
#include <string>

namespace veltaro {

// What a device's node shows: the port or file it reads and the outputs that receive a copy of its data,
// newest first. Its window is the modeless dialog dlgDevice; it looks at its device every 2 seconds.
class DevicePage : public Pane {
public:
    DevicePage(GpsDevice* device, ContainerPane* parent);
    ~DevicePage() override;

    bool create(HWND parentWindow) override;
    LRESULT onSize(WPARAM wParam, LPARAM lParam) override;

    GpsDevice* device; // not owned

    // Rebuilds the status text and the output list from the device.
    void updateStatus();

private:
    void insertColumn(int index, const char* text, int width);
    // A right click on a row of the output list: "Stop" that output.
    void offerStop(int row);
    void fitColumns();
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void setUp();
    void layoutControls();
};

// The device page's status text: the source ("Port COM3", "File C:\\day.gpsl"), how much came, and how
// long ago the last line did (or that its device is gone and is being looked for, or that a replay reached
// the end of its file), the lines whose checksum did not match, and the lines not read with the most
// frequent names. A device the user stopped says when instead of how data flows.
std::string deviceStatusText(const std::string& sourceName, const PortStatus& source, std::int64_t lines,
                             std::int64_t secondsSinceLastLine, std::int64_t badChecksums, const NotReadLines& notRead,
                             const SYSTEMTIME* stoppedAt = nullptr);

// An output's "Status" column: "writing", or what failed since when with the system's reason (and where a
// log ended that gave up), and the lines a lagging echo dropped.
std::string outputStatusText(const PortStatus& status);

} // namespace veltaro
