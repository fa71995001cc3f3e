#pragma once

#include <cstdint>
#include <string>

namespace veltaro {

// 1204 as "1,204".
std::string withThousands(std::int64_t value);

// The noun for a count: one for 1, many for every other.
inline const char* plural(std::int64_t count, const char* one, const char* many) {
    return count == 1 ? one : many;
}

} // namespace veltaro
