#include "scan/choose_folder.h"

#include <windows.h>

#include <shlobj.h>

#include "core/unique_resource.h"
#include "framework/application_win.h"

namespace tolvar {

namespace {

void FreeItemList(PIDLIST_ABSOLUTE item) {
    CoTaskMemFree(item);
}
// The picker's answer, which the shell allocated for us.
using ShellItem = UniqueResource<NullIsNone<PIDLIST_ABSOLUTE, &FreeItemList>>;

// Centres the dialog in the work area once it is up.
int CALLBACK CentreDialog(HWND dialog, UINT message, LPARAM, LPARAM) {
    if (message != BFFM_INITIALIZED) return 0;
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT box;
    GetWindowRect(dialog, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    MoveWindow(dialog, (work.right - work.left) / 2 - width / 2,
               (work.bottom - work.top) / 2 - height / 2, width, height, TRUE);
    return 0;
}

}  // namespace

std::string ChooseFolder(const std::string& title, unsigned flags) {
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info{};
    // The window whose button opened the picker is the active one; owned by
    // it, the picker opens in front of it and keeps it disabled meanwhile.
    HWND opener = GetActiveWindow();
    info.hwndOwner = opener ? opener : Application::instance().ownerWindow();
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = flags;
    info.lpfn = &CentreDialog;
    info.lParam = 0;
    const ShellItem item(SHBrowseForFolderA(&info));
    if (!item) return "";
    char path[MAX_PATH] = "";
    return SHGetPathFromIDListA(item.get(), path) ? path : "";
}

}  // namespace tolvar
