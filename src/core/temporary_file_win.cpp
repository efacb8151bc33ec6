#include "core/temporary_file_win.h"

#include <cstdio>
#include <random>

namespace tolvar {

namespace {

// Workers make temporary files too, so each thread has its own source.
std::string RandomSuffix() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    return text;
}

}  // namespace

TemporaryFile CreateTemporaryBeside(const std::string& beside, DWORD access) {
    const std::size_t slash = beside.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? "" : beside.substr(0, slash + 1);
    TemporaryFile temporary;
    // A clash is left to chance only as far as 64 random bits go; the
    // exclusive create makes sure it never costs a file.
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary.path = folder + "~tav" + RandomSuffix() + ".tmp";
        temporary.handle.reset(CreateFileA(temporary.path.c_str(), access, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (temporary.handle) return temporary;
        temporary.error = GetLastError();
        if (temporary.error != ERROR_FILE_EXISTS && temporary.error != ERROR_ALREADY_EXISTS) break;
    }
    temporary.path.clear();
    return temporary;
}

}  // namespace tolvar
