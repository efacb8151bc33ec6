#include "scan/find_file_lister.h"

#include <windows.h>

namespace tolvar {

namespace {

// FindFirstFile's handle, closed with FindClose.
class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

}  // namespace

void FindFileLister::List(const std::string& pattern,
                          const std::function<void(const Entry&)>& each) {
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (find.get() == INVALID_HANDLE_VALUE) return;  // a folder that cannot be listed adds nothing
    do {
        each(Entry{data.cFileName, data.dwFileAttributes});
    } while (FindNextFileA(find.get(), &data));
}

}  // namespace tolvar
