#pragma once

// The shape of a signature database: a 512-byte text header
// "ClamAV-VDB:<build time>:<version>:<signatures>:<level>:<md5>:
// <signature>:<builder>[:<time>]" padded with blanks, then the body. In a
// database as the mirror publishes it (.cvd) the header gives the body's MD5
// and its digital signature; the header tells a database from an error page
// saved under the database's name, and the checksum a whole body from a cut
// or damaged one. A database ClamAV's updater built from patches (.cld)
// carries "X" in both places: its header is the first line of the
// database's .info file, which the patches keep, and nothing checks its
// body (ClamAV's loader skips the check for a .cld).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvar {

inline constexpr std::size_t kDatabaseHeaderSize = 512;

struct DatabaseHeader {
    int version = 0;
    int signatures = 0;
    int functionalityLevel = 0;
    // 32 lower-case hexadecimal digits; nothing where the header has "X".
    std::optional<std::string> bodyMd5;
};

// header holds the file's first bytes (up to 512); fileSize is its length.
// Nothing unless the header is whole and well formed and a body follows.
std::optional<DatabaseHeader> ReadDatabaseHeader(std::string_view header, std::uint64_t fileSize);

bool IsSignatureDatabase(std::string_view header, std::uint64_t fileSize);

}  // namespace tolvar
