#include "ui/views/blank_pane.h"

namespace veltaro {

BlankPane::BlankPane(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "", true, false, 0}) {}

void BlankPane::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

} // namespace veltaro
