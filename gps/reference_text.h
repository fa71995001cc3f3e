#pragma once

#include "gps/fix_scatter.h"

#include <string>

namespace veltaro {

// A reference point as a user types it: latitude and longitude in decimal degrees ("48.11730 11.51667", south
// and west negative) or with hemisphere letters, in degrees or degrees and minutes ("48 07.038 N 011 31.000 E",
// "48°07.03800' N 011°31.00000' E" as the readout shows them), then optionally a height in metres, above mean
// sea level unless "ellipsoid" follows it.
struct TypedReference {
    EarthPoint point; // the height is NaN when none was typed
    bool ellipsoidHeight = false;
};

// False, with why saying what is wrong, when text is not a position.
bool readReference(const std::string& text, TypedReference& reference, std::string& why);

} // namespace veltaro
