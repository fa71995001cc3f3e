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

protected:
    bool describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const override;
};

// Degrees and minutes from hundredths of a degree, to as many decimals of a minute as sent (4 to 8), with the
// hemisphere's letter: "48°07.03800' N".
std::string angleText(double hundredths, Decimals sent, int degreeDigits, char positive, char negative);

// The readout's lines, CR LF between them; "--" stands for a value not received yet.
std::string readoutText(const GpsState& state);

} // namespace veltaro
