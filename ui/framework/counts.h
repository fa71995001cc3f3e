#pragma once

#include <cstdint>
#include <string>

namespace veltaro {

// 1204 as "1,204".
std::string withThousands(std::int64_t value);

} // namespace veltaro
