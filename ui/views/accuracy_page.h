#pragma once

#include "gps/fix_scatter.h"
#include "ui/framework/leaf_view.h"

#include <cstdint>
#include <memory>
#include <string>

namespace veltaro {

class DotLayer;

// How a receiver's fixes scatter around a reference (their mean, or a point the user types): a plot, north
// up, with rings at a 1-2-5 step, the CEP50 and CEP95 circles, the mean and the latest fix, and the figures
// beside it. The figures are also the window's text, for screen readers. It does nothing while hidden, and a
// paint costs what its pixels cost, however many fixes there are.
class AccuracyPage : public LeafView {
public:
    AccuracyPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, FixScatter& scatter);
    ~AccuracyPage() override;

    bool create(HWND parentWindow) override;
    void refresh() override;
    void draw(HDC dc, int w, int h) override;

    // What the strip's controls do, also for tests: false, with the reason shown, when text is no position.
    bool setReference(const std::string& text);
    void useMean();
    void clear();

    HWND referenceEdit = nullptr;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Plot {
        int left = 0;
        int top = 0;
        int side = 0;
        bool textBeside = true; // the figures beside the plot, else under it
    };
    Plot plotPlace(int w, int h) const;
    void layoutStrip(int w);
    // Brings the figures and the dots up to date with the scatter; true when the picture changed.
    bool update();
    void drawPlot(HDC dc, const Plot& plot);

    FixScatter& scatter;
    ScatterFigures figures;
    std::int64_t shownCount = -1;
    std::string why;       // why the last typed reference was refused
    double ringMetres = 0; // the outer ring's radius
    std::unique_ptr<DotLayer> dots;
    std::int64_t dotsDrawn = 0; // fixes whose dots the layer holds
    HWND setButton = nullptr;
    HWND meanButton = nullptr;
    HWND clearButton = nullptr;
};

// The figures of a scatter as the page writes them, CR LF between lines.
std::string accuracyText(const ScatterFigures& figures, bool typedReference);

} // namespace veltaro
