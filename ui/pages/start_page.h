#pragma once

#include "ui/framework/dialog_page.h"

namespace veltaro {

// Starts a live device from the values the start page collects, or a device on recorded data.
class DeviceStarter {
public:
    virtual void startDevice(int port, int baud, bool saveToFile, bool echo, int echoPort, int echoBaud) = 0;
    virtual void openGpsDataFile() = 0;
    // Offers the saved setups and starts the one chosen.
    virtual void startSavedDevice() = 0;

protected:
    ~DeviceStarter() = default;
};

// The page of the tree's root: pick a COM port and baud rate, choose saving and echoing, start a device;
// or replay a recorded log.
// Its window is the modeless dialog dlgStartPage; the page itself starts nothing.
class StartPage : public DialogPage {
public:
    StartPage(ContainerPane* parent, const SharedGdi& gdi);

    void refresh() override {} // shows no GPS data
    LRESULT onSize(WPARAM wParam, LPARAM lParam) override;

    // The smallest client size at which no control overlaps another and every text fits its control.
    SIZE minimumSize() const;
    // "Start a live GPS device with saved parameters..." can be pressed while a setup is saved.
    void offerSavedSetups(bool any);
    // Lists the COM ports there are now. The ports chosen stay chosen while they are there; else the
    // port list selects its first port and the echo port box none.
    void fillPorts();

    DeviceStarter* mainFrame = nullptr; // not owned

private:
    INT_PTR onInitDialog() override;
    INT_PTR onCommand(WPARAM wParam) override;
    void layoutControls();
};

// The baud rates offered wherever a speed is chosen, slowest first.
constexpr int BAUD_RATES[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};

} // namespace veltaro
