// A stand-in for the scanner in tests. It follows a script whose path is in
// the environment variable TOLVAR_FAKE_SCANNER_SCRIPT, one command a line:
//
//   record PATH      write the command line and the current folder to PATH
//   args PATH        write each argument as the C runtime split it, one a line
//   list PATH        copy the file named by --file-list=FILE to PATH
//   out TEXT         write TEXT to standard output at once (escapes: \r \n \t
//                    \\ \xHH, so any bytes: OEM text, UTF-8, invalid
//                    sequences); one command is one write, so a script
//                    chooses where the chunks of the report break
//   err TEXT         the same on standard error
//   sleep MS         wait
//   wait-file PATH   wait until PATH exists (a test's signal to go on)
//   touch PATH       create PATH (a signal to the test)
//   hang             wait until killed
//   flood N          write N report lines as fast as it can, ten files to a
//                    folder: "C:\flood\d<folder>\f<k>.txt: OK", and every
//                    10,000th line a detection, "C:\flood\d<folder>\f<k>.exe:
//                    Flood.Test-Signature FOUND"; each ends with a line feed
//                    as clamscan's lines do. After a detection the default
//                    end becomes exit 1, as clamscan's is when it found any
//   exit CODE        end with CODE, decimal (-1 too) or hex (0xC0000135, as
//                    Windows ends a program whose DLL is missing); the
//                    default end is exit 0
//
// Without a script it reports an error and ends with 2, as the scanner does
// when it cannot work.

#include <windows.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') {
            out += '\r';
        } else if (c == 'n') {
            out += '\n';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

void WriteAll(DWORD which, const std::string& bytes) {
    HANDLE h = GetStdHandle(which);
    DWORD written = 0;
    if (h && h != INVALID_HANDLE_VALUE && !bytes.empty()) {
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        FlushFileBuffers(h);
    }
}

// The report of a large scan, written through one big buffer: a write per
// line would make the system calls, not the reader, the bottleneck that a
// flood is meant to expose. Returns how many detections were written; a
// reader that went away ends the flood early.
std::uint64_t Flood(std::uint64_t lines) {
    constexpr std::size_t kBufferSize = 64 * 1024;
    constexpr std::size_t kLongestLine = 96;  // "C:\flood\d<20 digits>\f9.exe: ... FOUND\n"
    constexpr std::uint64_t kDetectionEvery = 10'000;
    constexpr char kClean[] = ".txt: OK\n";
    constexpr char kInfected[] = ".exe: Flood.Test-Signature FOUND\n";

    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return 0;
    static char buffer[kBufferSize];
    std::size_t used = 0;
    bool broken = false;
    auto drain = [&] {
        std::size_t at = 0;
        while (at < used && !broken) {
            DWORD written = 0;
            if (!WriteFile(out, buffer + at, static_cast<DWORD>(used - at), &written, nullptr) ||
                written == 0) {
                broken = true;
            }
            at += written;
        }
        used = 0;
    };

    std::uint64_t detections = 0;
    for (std::uint64_t i = 0; i < lines && !broken; ++i) {
        if (kBufferSize - used < kLongestLine) drain();
        char* p = buffer + used;
        std::memcpy(p, "C:\\flood\\d", 10);
        p += 10;
        p = std::to_chars(p, p + 24, i / 10).ptr;
        *p++ = '\\';
        *p++ = 'f';
        *p++ = static_cast<char>('0' + i % 10);
        if ((i + 1) % kDetectionEvery == 0) {
            std::memcpy(p, kInfected, sizeof kInfected - 1);
            p += sizeof kInfected - 1;
            ++detections;
        } else {
            std::memcpy(p, kClean, sizeof kClean - 1);
            p += sizeof kClean - 1;
        }
        used = static_cast<std::size_t>(p - buffer);
    }
    if (!broken) drain();
    FlushFileBuffers(out);
    return detections;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
    char script[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", script, sizeof script);
    if (n == 0 || n >= sizeof script) {
        WriteAll(STD_ERROR_HANDLE, "ERROR: no test script given\n");
        return 2;
    }
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        WriteAll(STD_ERROR_HANDLE, std::string("ERROR: cannot open ") + script + "\n");
        return 2;
    }
    int defaultExit = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (command == "record") {
            char folder[MAX_PATH * 2] = "";
            GetCurrentDirectoryA(sizeof folder, folder);
            std::ofstream(rest, std::ios::binary) << GetCommandLineA() << "\n" << folder << "\n";
        } else if (command == "args") {
            std::ofstream out(rest, std::ios::binary);
            for (int i = 1; i < argc; ++i)
                out << argv[i] << "\n";
        } else if (command == "list") {
            for (int i = 1; i < argc; ++i) {
                const std::string arg = argv[i];
                if (arg.rfind("--file-list=", 0) != 0) continue;
                std::ifstream list(arg.substr(12), std::ios::binary);
                std::ofstream(rest, std::ios::binary) << list.rdbuf();
            }
        } else if (command == "out") {
            WriteAll(STD_OUTPUT_HANDLE, Unescape(rest));
        } else if (command == "err") {
            WriteAll(STD_ERROR_HANDLE, Unescape(rest));
        } else if (command == "sleep") {
            Sleep(static_cast<DWORD>(std::stoul(rest)));
        } else if (command == "wait-file") {
            while (!Exists(rest))
                Sleep(10);
        } else if (command == "touch") {
            std::ofstream(rest, std::ios::binary) << "";
        } else if (command == "hang") {
            for (;;)
                Sleep(1000);
        } else if (command == "flood") {
            if (Flood(std::stoull(rest)) > 0) defaultExit = 1;
        } else if (command == "exit") {
            // ExitProcess, not return: an exit code of 0xC0000135 does not
            // fit main's int.
            ExitProcess(static_cast<UINT>(std::stoll(rest, nullptr, 0)));
        }
    }
    return defaultExit;
}
