#include "ui/framework/counts.h"

namespace veltaro {

std::string withThousands(std::int64_t value) {
    const std::string digits = std::to_string(value);
    const std::size_t sign = digits[0] == '-' ? 1 : 0;
    std::string grouped = digits.substr(0, sign);
    for (std::size_t i = sign; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

} // namespace veltaro
