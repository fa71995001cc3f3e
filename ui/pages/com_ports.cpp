#include "ui/pages/com_ports.h"

#include "ui/framework/gdi_owners.h"

#include <windows.h>

// The device GUIDs are defined here, not looked for in a library.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>
#include <winioctl.h>
#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <type_traits>

namespace veltaro {

namespace {

constexpr int ITEM_MARGIN = 4; // what a list item leaves beside its text, both sides together

struct DeviceListCloser {
    void operator()(HDEVINFO set) const { SetupDiDestroyDeviceInfoList(set); }
};
using DeviceList = std::unique_ptr<void, DeviceListCloser>;

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The ports the print spooler reports, each labelled with its name.
std::vector<ComPort> spoolerPorts() {
    std::vector<ComPort> ports;
    DWORD needed = 0;
    DWORD returned = 0;
    // The first call only learns the size; any other failure means no ports.
    if (EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return ports;
    }
    std::vector<BYTE> buffer(needed / 4 * 4 + 4);
    if (!EnumPortsA(nullptr, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned)) {
        return ports;
    }
    const auto* entries = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        std::string name = entries[i].pName != nullptr ? entries[i].pName : "";
        if (!name.empty() && name.back() == ':') {
            name.pop_back();
        }
        const int number = portNumber(name);
        if (number > 0) { // not a printer's port: LPT1:, FILE: and the like
            ports.push_back({name, number, name});
        }
    }
    return ports;
}

// One of the device's properties as text; empty when it has none.
std::string deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char text[256] = "";
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof text - 1, nullptr)) {
        return "";
    }
    return text;
}

// The port Windows gave the device, kept in its own registry key; empty when it has none.
std::string devicePortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY opened = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (opened == INVALID_HANDLE_VALUE) {
        return "";
    }
    const RegistryKey key(opened);
    char name[32] = "";
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return "";
    }
    return name;
}

// Labels the port named name, or adds it when the spooler did not report it: a device that arrived may
// not be in the spooler's list yet. The first device found with a port describes it.
void describePort(std::vector<ComPort>& ports, const std::string& name, const std::string& description) {
    const int number = portNumber(name);
    if (number <= 0) {
        return;
    }
    const auto same = std::find_if(ports.begin(), ports.end(), [&](const ComPort& p) { return p.number == number; });
    if (same == ports.end()) {
        ports.push_back({name, number, portLabel(name, description)});
    } else if (same->label == same->name) {
        same->label = portLabel(same->name, description);
    }
}

// The devices present with a port: those of the ports class, and those of other classes (modems, phones)
// that offer a COM port. Ports without a device, as Wine's and many virtual ones, are not among them.
void describeDevicePorts(std::vector<ComPort>& ports) {
    const struct {
        const GUID* kind;
        DWORD flags;
    } sources[] = {
        {&GUID_DEVCLASS_PORTS, DIGCF_PRESENT},
        {&GUID_DEVINTERFACE_COMPORT, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE},
    };
    for (const auto& source : sources) {
        HDEVINFO found = SetupDiGetClassDevsA(source.kind, nullptr, nullptr, source.flags);
        if (found == INVALID_HANDLE_VALUE) {
            continue;
        }
        const DeviceList set(found);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set.get(), i, &device); ++i) {
            std::string description = deviceProperty(set.get(), device, SPDRP_FRIENDLYNAME);
            if (description.empty()) {
                description = deviceProperty(set.get(), device, SPDRP_DEVICEDESC);
            }
            describePort(ports, devicePortName(set.get(), device), description);
        }
    }
}

} // namespace

std::string portLabel(const std::string& name, const std::string& description) {
    std::string text = trimmed(description);
    const std::string suffix = "(" + name + ")";
    if (text.ends_with(suffix)) {
        text = trimmed(text.substr(0, text.size() - suffix.size()));
    }
    return text.empty() ? name : name + "  " + text;
}

int portNumber(const std::string& name) {
    return name.compare(0, 3, "COM") == 0 ? static_cast<int>(std::strtol(name.c_str() + 3, nullptr, 10)) : 0;
}

std::vector<ComPort> listComPorts() {
    std::vector<ComPort> ports = spoolerPorts();
    describeDevicePorts(ports);
    // In number order, as a user counts them: COM2 before COM10.
    std::stable_sort(ports.begin(), ports.end(),
                     [](const ComPort& a, const ComPort& b) { return a.number < b.number; });
    return ports;
}

int widestLabel(HWND control, const std::vector<ComPort>& ports) {
    const WindowDC dc(control);
    if (dc.get() == nullptr) {
        return 0;
    }
    const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const ComPort& port : ports) {
        SIZE size{0, 0};
        GetTextExtentPoint32A(dc.get(), port.label.c_str(), static_cast<int>(port.label.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    return widest + ITEM_MARGIN;
}

} // namespace veltaro
