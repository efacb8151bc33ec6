// Measures how long a program's window takes to answer: every 20 ms it
// sends the top-level window with the given title a message that does
// nothing (WM_NULL) and times the answer, for the given number of seconds,
// then prints "answers N max_ms M p99_ms P". A benchmark tool: the window's
// message loop answers only between the messages it is handling, so the
// longest wait is the longest the window was frozen.
//
//   ui_probe.exe TITLE SECONDS

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ui_probe TITLE SECONDS\n");
        return 2;
    }
    const HWND window = FindWindowA(nullptr, argv[1]);
    if (!window) {
        std::fprintf(stderr, "no window named \"%s\"\n", argv[1]);
        return 2;
    }
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    const ULONGLONG end = GetTickCount64() + 1000ull * std::strtoul(argv[2], nullptr, 10);
    std::vector<double> waits;
    while (GetTickCount64() < end) {
        LARGE_INTEGER before{}, after{};
        QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
            std::fprintf(stderr, "the window did not answer within 10 s\n");
            return 1;
        }
        QueryPerformanceCounter(&after);
        waits.push_back(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        Sleep(20);
    }
    if (waits.empty()) return 2;
    std::sort(waits.begin(), waits.end());
    std::printf("answers %zu max_ms %.1f p99_ms %.1f\n", waits.size(), waits.back(),
                waits[waits.size() * 99 / 100]);
    return 0;
}
