#pragma once

// The shape of a signature database as the mirror publishes it: a 512-byte
// text header "ClamAV-VDB:<build time>:<version>:<signatures>:<level>:<md5>:
// <signature>:<builder>[:<time>]" padded with blanks, then the body. The
// program never reads the body; the header tells a database from an error
// page or a truncated transfer saved under the database's name.

#include <cstdint>
#include <string_view>

namespace tolvar {

inline constexpr std::size_t kDatabaseHeaderSize = 512;

// header holds the file's first bytes (up to 512); fileSize is its length.
bool IsSignatureDatabase(std::string_view header, std::uint64_t fileSize);

}  // namespace tolvar
