#pragma once

namespace veltaro {

// Receivers send absurd values (1e23, -1e308, NaN, inf); GDI takes coordinates within about ±2^27.
constexpr double PIXEL_LIMIT = 67108864.0; // 2^26

// A floating value as a pixel coordinate: truncated toward zero and clamped to what GDI takes; NaN is 0.
inline int toPixel(double value) {
    if (value != value) {
        return 0;
    }
    if (value > PIXEL_LIMIT) {
        return static_cast<int>(PIXEL_LIMIT);
    }
    if (value < -PIXEL_LIMIT) {
        return -static_cast<int>(PIXEL_LIMIT);
    }
    return static_cast<int>(value);
}

// An integer from the receiver (an SNR, say) clamped the same way before pixel arithmetic.
inline int clampPixel(long long value) {
    const long long limit = static_cast<long long>(PIXEL_LIMIT);
    return static_cast<int>(value > limit ? limit : (value < -limit ? -limit : value));
}

} // namespace veltaro
