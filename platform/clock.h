// The millisecond clock the scene clock counts from. The real one follows the
// system; the virtual one moves only when told, for tests and recording.
#pragma once

#include <cstdint>

namespace glint {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps at 2^32 like any 32-bit tick count.
    virtual std::uint32_t milliseconds() = 0;
};

class VirtualClock final : public Clock {
public:
    std::uint32_t milliseconds() override { return now; }
    std::uint32_t now = 0;  // ms
};

// The system's clock (SDL's tick counter).
class SystemClock final : public Clock {
public:
    std::uint32_t milliseconds() override;
};

}  // namespace glint
