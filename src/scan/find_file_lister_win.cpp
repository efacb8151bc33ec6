#include "scan/find_file_lister.h"

#include <windows.h>

#include "core/handles_win.h"

namespace tolvar {

void FindFileLister::List(const std::string& pattern,
                          const std::function<void(const Entry&)>& each) {
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find) return;  // a folder that cannot be listed adds nothing
    do {
        each(Entry{data.cFileName, data.dwFileAttributes});
    } while (FindNextFileA(find.get(), &data));
}

}  // namespace tolvar
