#pragma once

// A folder listing, reached through this interface so that the rules that
// list folders run (and are tested) without Windows.

#include <cstdint>
#include <functional>
#include <string>

namespace tolvar {

class FolderLister {
public:
    virtual ~FolderLister() = default;

    struct Entry {
        std::string name;
        // Windows FILE_ATTRIBUTE_* bits: 0x10 directory, 0x01 read-only,
        // 0x02 hidden, 0x04 system, 0x20 archive ...
        std::uint32_t attributes;
    };

    // Every entry matching the wildcard pattern, hidden and system ones
    // included. A listing that fails simply yields no entries.
    virtual void List(const std::string& pattern,
                      const std::function<void(const Entry&)>& each) = 0;
};

}  // namespace tolvar
