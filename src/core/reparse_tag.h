#pragma once

// Which reparse points are links. Only a symbolic link or a mount point (a
// junction) leads an open to another file or folder than the one a path
// names; every other reparse point (a cloud file's placeholder, a
// deduplicated or compressed file) is the file
// itself, served by a file system filter, and is removed and copied as any
// file is.

#include <cstdint>

namespace tolvar {

inline constexpr std::uint32_t kMountPointTag = 0xA0000003;    // IO_REPARSE_TAG_MOUNT_POINT
inline constexpr std::uint32_t kSymbolicLinkTag = 0xA000000C;  // IO_REPARSE_TAG_SYMLINK

inline bool IsLinkTag(std::uint32_t reparseTag) {
    return reparseTag == kMountPointTag || reparseTag == kSymbolicLinkTag;
}

}  // namespace tolvar
