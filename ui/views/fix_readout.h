#pragma once

#include "gps/gps_state.h"
#include "ui/framework/leaf_view.h"

#include <string>

namespace veltaro {

// The fix in numbers, one value a line: UTC, position, altitude, fix, satellites and DOP, under a line
// saying so when the data is no longer live. The window text holds the same lines, for screen readers.
class FixReadout : public LeafView {
public:
    FixReadout(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    void refresh() override;
    void draw(HDC dc, int w, int h) override;
};

// The readout's lines, CR LF between them; "--" stands for a value not received yet.
std::string readoutText(const GpsState& state);

} // namespace veltaro
