#include "updates/database_files.h"

#include <windows.h>

#include <string>

#include "core/folders.h"

namespace tolvar {

void RemoveStaleDownloads() {
    for (const char* name : {"main2.cvd", "daily2.cvd"}) {
        DeleteFileA((Folders().DatabaseFolder + name).c_str());
    }
}

}  // namespace tolvar
