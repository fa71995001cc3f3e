// The view pages of every started device: "Sat stats", "Current route", and the pages that are one pane.
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/views/course_view.h"
#include "ui/views/fix_readout.h"
#include "ui/views/route_view.h"
#include "ui/views/sat_signal_view.h"
#include "ui/views/sat_tracking_view.h"
#include "ui/views/speed_view.h"

namespace veltaro {

namespace {

// Places a built pane in its container: docked, sized (a new pane's size is 100 by 100), and its window
// made in the container's.
template <typename P>
P* dockPane(TreeNode& node, std::unique_ptr<P> pane, DockSide side, int cx = 100, int cy = 100) {
    pane->dock = side;
    pane->setSize(cx, cy);
    HWND parentWindow = pane->parent->hwnd;
    return node.make(std::move(pane), parentWindow);
}

} // namespace

std::unique_ptr<TreeNode> MainFrame::buildSatStats(GpsState* state) {
    const SharedGdi& gdi = sharedGdi();
    std::unique_ptr<TreeNode> node = newPageNode(nullptr, NODE_VIEW, "Sat stats", state);
    ContainerPane* root = node->pane;
    dockPane(*node, std::make_unique<SatSignalView>(root, true, gdi), DOCK_LEFT, gdi.scaled(150), gdi.scaled(100));
    auto tracking = std::make_unique<SatTrackingView>(root, true, gdi);
    tracking->posY = 100;
    dockPane(*node, std::move(tracking), DOCK_FILL, gdi.scaled(150), gdi.scaled(150));
    return node;
}

std::unique_ptr<TreeNode> MainFrame::buildCurrentRoute(GpsState* state, std::vector<TrackFix>* fixes) {
    const SharedGdi& gdi = sharedGdi();
    std::unique_ptr<TreeNode> node = newPageNode(nullptr, NODE_VIEW, "Current route", state);
    ContainerPane* root = node->pane;
    auto* column = dockPane(*node, std::make_unique<ContainerPane>(root), DOCK_LEFT, gdi.scaled(150), gdi.scaled(100));
    dockPane(*node, std::make_unique<RouteView>(root, true, gdi), DOCK_FILL)->fixes = fixes;
    dockPane(*node, std::make_unique<CourseView>(column, true, gdi), DOCK_TOP, gdi.scaled(150), gdi.scaled(150));
    auto speed = std::make_unique<SpeedView>(column, true, gdi);
    speed->posY = 10; // below the course dial, which keeps 0
    dockPane(*node, std::move(speed), DOCK_TOP, gdi.scaled(150), gdi.lineHeight() + gdi.scaled(20));
    dockPane(*node, std::make_unique<FixReadout>(column, true, gdi), DOCK_FILL);
    return node;
}

std::unique_ptr<TreeNode> MainFrame::buildPage(const char* title, GpsState* state,
                                               const std::function<std::unique_ptr<Pane>(ContainerPane* root)>& make) {
    std::unique_ptr<TreeNode> node = newPageNode(nullptr, NODE_VIEW, title, state);
    ContainerPane* root = node->pane;
    dockPane(*node, make(root), DOCK_FILL);
    return node;
}

} // namespace veltaro
