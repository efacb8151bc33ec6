#pragma once

// A change-notice request on one folder (ReadDirectoryChangesW,
// overlapped), and the notices it brings.

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/handles_win.h"
#include "protection/folder_entries_win.h"

namespace tolvar {

// A notice request on one folder. It stays at one address while the
// system may write into it.
struct NoticeRequest {
    UniqueHandle directory;
    UniqueHandle event;
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer;  // notices are DWORD-aligned records
    bool reading = false;

    NoticeRequest() = default;
    NoticeRequest(const NoticeRequest&) = delete;
    NoticeRequest& operator=(const NoticeRequest&) = delete;
    ~NoticeRequest() { Close(); }

    void Close() {
        if (reading) {
            // The buffer must outlive the request: cancel it and wait for it.
            CancelIoEx(directory.get(), &overlapped);
            DWORD bytes = 0;
            GetOverlappedResult(directory.get(), &overlapped, &bytes, TRUE);
            reading = false;
        }
        directory.reset();
        event.reset();
        buffer.clear();
    }

    bool Open(const std::string& folder, std::size_t bytes) {
        directory = OpenFolder(folder);
        event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        buffer.resize((std::max<std::size_t>(bytes, 64) + sizeof(DWORD) - 1) / sizeof(DWORD));
        return directory && event;
    }

    bool Read(bool subtree, DWORD filter) {
        ResetEvent(event.get());
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.get();
        reading = ReadDirectoryChangesW(directory.get(), buffer.data(),
                                        static_cast<DWORD>(buffer.size() * sizeof(DWORD)), subtree,
                                        filter, nullptr, &overlapped, nullptr) != FALSE;
        return reading;
    }

    bool Done() const { return reading && HasOverlappedIoCompleted(&overlapped); }
};

// The notices in a buffer, each as its action and name; a record that
// runs past the bytes given ends the list.
template <typename Fn>
void EachNotice(const BYTE* notices, DWORD bytes, Fn&& fn) {
    constexpr DWORD kHeader = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    DWORD offset = 0;
    for (;;) {
        if (bytes - offset < kHeader) return;
        const auto* notice = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(notices + offset);
        if (notice->FileNameLength > bytes - offset - kHeader) return;
        fn(notice->Action,
           std::wstring_view(notice->FileName, notice->FileNameLength / sizeof(WCHAR)));
        if (notice->NextEntryOffset == 0 || notice->NextEntryOffset > bytes - offset) return;
        offset += notice->NextEntryOffset;
    }
}

}  // namespace tolvar
