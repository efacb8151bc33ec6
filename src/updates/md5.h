#pragma once

// MD5 (RFC 1321), the checksum a signature database's header gives for its
// body. It tells a damaged or cut transfer from the file the mirror
// published; it is no protection against a forged one.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar {

class Md5 {
public:
    Md5();
    void Update(std::string_view bytes);
    // The digest as 32 lower-case hexadecimal digits. Ends the sum: no
    // Update may follow.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 4> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0;  // bytes summed so far
};

}  // namespace tolvar
