#pragma once

#include "gps/gps_device.h"
#include "ui/framework/pane.h"

namespace veltaro {

// What a live device's node shows: the port it reads and the outputs that receive a copy of its data,
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
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void setUp();
    void layoutControls();
};

} // namespace veltaro
