#pragma once

#include "ui/framework/leaf_view.h"

namespace veltaro {

// Signal bars of the satellites in view: PRN, SNR and a red bar as long as the SNR, the bars of the
// satellites in the fix framed. In rows when at least as tall as wide, in columns otherwise.
class SatSignalView : public LeafView {
public:
    SatSignalView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    void draw(HDC dc, int w, int h) override;

protected:
    bool describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const override;

private:
    void drawRows(HDC dc, int w, int h);
    void drawColumns(HDC dc, int w, int h);
};

} // namespace veltaro
