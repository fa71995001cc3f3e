#include "ui/views/age_caption.h"

#include "ui/framework/gdi_owners.h"

#include <cstdio>

namespace veltaro {

std::string ageText(const GpsState& state) {
    if (state.sourceLost != 0) {
        return "Port lost, reopening";
    }
    if (state.quietSeconds > 0) {
        char text[40];
        std::snprintf(text, sizeof text, "No data for %d s", static_cast<int>(state.quietSeconds));
        return text;
    }
    return "";
}

void drawAgeCaption(HDC dc, const SharedGdi& gdi, const GpsState& state) {
    const std::string text = ageText(state);
    if (text.empty()) {
        return;
    }
    // Opaque, so the words stay readable over satellites and the track.
    SelectedObject font(dc, gdi.guiFont);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TextOutA(dc, gdi.scaled(2), gdi.scaled(2), text.c_str(), static_cast<int>(text.size()));
}

void addAgeCaptionPart(HDC dc, const SharedGdi& gdi, const GpsState& state, std::vector<PicturePart>& parts) {
    const std::string text = ageText(state);
    if (!text.empty()) {
        SelectedObject font(dc, gdi.guiFont);
        addTextPart(dc, gdi.scaled(2), gdi.scaled(2), text, parts);
    }
}

} // namespace veltaro
