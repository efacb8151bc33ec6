#pragma once

// Little-endian integers in the stored records, read and written byte by
// byte so the layout never depends on the machine.

#include <cstdint>

namespace tolvar {

inline std::uint64_t ReadLe(const std::uint8_t* at, int byteCount) {
    std::uint64_t value = 0;
    for (int i = byteCount - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

inline void WriteLe(std::uint8_t* at, std::uint64_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i) {
        at[i] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

inline std::int32_t ReadInt32(const std::uint8_t* at) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLe(at, 4)));
}

inline void WriteInt32(std::uint8_t* at, std::int32_t value) {
    WriteLe(at, static_cast<std::uint32_t>(value), 4);
}

}  // namespace tolvar
