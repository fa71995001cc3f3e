#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace veltaro {

// Where one control of a dialog goes, in pixels of the dialog's client area.
struct ControlPlacement {
    int id;
    int x;
    int y;
    int cx;
    int cy;
};

// Moves the controls together in one deferred batch, so the dialog repaints once.
void placeControls(HWND dialog, std::initializer_list<ControlPlacement> placements, int batchSize);

// The item data of the selected entry, or -1 when nothing is selected.
int selectedListData(HWND list);
int selectedComboData(HWND box);

// Adds an entry with its number as item data; returns its index.
LRESULT addListEntry(HWND list, const char* text, int data);
LRESULT addComboEntry(HWND box, const char* text, int data);
// Adds an entry after the others, in the order given, whatever the list's sort style.
LRESULT appendListEntry(HWND list, const char* text, int data);
LRESULT appendComboEntry(HWND box, const char* text, int data);

// The text of a control (an edit's, a combo box's), as typed.
std::string controlText(HWND control);

} // namespace veltaro
