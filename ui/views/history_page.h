#pragma once

#include "gps/history.h"
#include "ui/framework/leaf_view.h"

#include <cstdint>

namespace veltaro {

// How a receiver held up over the last 10 minutes, hour or 6 hours: satellites used and in view, the average
// C/N0 of its four strongest satellites, HDOP, and a band coloured by the kind of fix, against the time of day.
// Seconds without data are gaps. It does nothing while hidden, and paints at most once a new second.
class HistoryPage : public LeafView {
public:
    HistoryPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const History& history);

    bool create(HWND parentWindow) override;
    void refresh() override;
    void draw(HDC dc, int w, int h) override;

    // The span shown: 0 for 10 minutes, 1 for an hour, 2 for 6 hours.
    void showSpan(int span);

    HWND spanBox = nullptr;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    const History& history;
    std::int64_t shownRecorded = -1;
    std::int64_t spanSeconds = 600;
};

} // namespace veltaro
