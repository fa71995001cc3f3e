#pragma once

#include "ui/framework/leaf_view.h"

namespace veltaro {

// Fills what the other views of a column leave with the button face; GPS updates never repaint it.
class BlankPane : public LeafView {
public:
    BlankPane(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    void refresh() override {}
    void draw(HDC dc, int w, int h) override;
};

} // namespace veltaro
