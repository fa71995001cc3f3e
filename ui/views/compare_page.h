#pragma once

#include "gps/gps_device.h"
#include "ui/framework/leaf_view.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltaro {

class DotLayer;

// A device as the comparison names it.
struct ComparedDevice {
    std::string name; // its tree text
    GpsDevice* device;
};

// One receiver's line of the comparison.
struct CompareRow {
    std::string name;
    std::int64_t fixes = 0;
    double fixPercent = 0; // of the seconds with data, those with a fix
    double cep50 = 0;      // around the receiver's own mean (or the point typed on its page)
    double cep95 = 0;
    double drms2 = 0;
    double offset = 0; // of its mean from the comparison's reference, metres; NaN without fixes
    double bearing = 0;
    double usedAverage = 0; // satellites used, over the seconds that said
    double cn0Average = 0;  // the four strongest satellites' C/N0, over the seconds that heard one
};

// The row of one device against a reference point.
CompareRow compareRow(const std::string& name, GpsDevice& device, const EarthPoint& reference);
// The rows as the page's window text gives them, one receiver a line.
std::string compareText(const std::vector<CompareRow>& rows);

// Several receivers on one spot side by side: every device's fixes in its own colour around one reference (the
// mean of a device chosen in a list, or a typed point), and a table of their figures. Works for live and
// recorded devices alike. It does nothing while hidden, and a paint costs what its pixels cost.
class ComparePage : public LeafView {
public:
    ComparePage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi,
                std::function<std::vector<ComparedDevice>()> devices);
    ~ComparePage() override;

    bool create(HWND parentWindow) override;
    void refresh() override;
    void draw(HDC dc, int w, int h) override;

    // The mean of device index is the reference; a point the user typed (false, with the reason shown, when the
    // text is no position).
    void useMeanOf(int index);
    bool setReference(const std::string& text);

    HWND referenceBox = nullptr;
    HWND referenceEdit = nullptr;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool update();
    EarthPoint reference() const;
    void drawPlot(HDC dc, int left, int top, int side);

    std::function<std::vector<ComparedDevice>()> devices;
    std::vector<ComparedDevice> shown;
    std::vector<CompareRow> rows;
    std::vector<std::int64_t> counts; // each device's fixes as last shown
    int meanOf = 0;                   // the device whose mean is the reference, -1 for the typed point
    EarthPoint typed;
    std::string why;
    std::unique_ptr<DotLayer> dots;
    std::vector<std::int64_t> drawn; // each device's fixes whose dots the layer holds
    HWND setButton = nullptr;
};

} // namespace veltaro
