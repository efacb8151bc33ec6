#pragma once

// The shape of a signature database as the mirror publishes it: a 512-byte
// text header "ClamAV-VDB:<build time>:<version>:<signatures>:<level>:<md5>:
// <signature>:<builder>[:<time>]" padded with blanks, then the body, whose
// MD5 the header gives. The header tells a database from an error page saved
// under the database's name, and the checksum a whole body from a cut or
// damaged one. Files the updater builds from patches (.cld) carry the same
// header.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar {

inline constexpr std::size_t kDatabaseHeaderSize = 512;

struct DatabaseHeader {
    int version = 0;
    std::string bodyMd5;  // 32 lower-case hexadecimal digits
};

// header holds the file's first bytes (up to 512); fileSize is its length.
// Nothing unless the header is whole and well formed and a body follows.
std::optional<DatabaseHeader> ReadDatabaseHeader(std::string_view header, std::uint64_t fileSize);

bool IsSignatureDatabase(std::string_view header, std::uint64_t fileSize);

}  // namespace tolvar
