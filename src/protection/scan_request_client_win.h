#pragma once

// The other end of the scan request pipe: hands paths to the running
// program (scan_request_pipe_win.h).

#include <string>
#include <vector>

#include "protection/scan_request.h"

namespace tolvar {

struct HandOver {
    enum class Outcome {
        Delivered,  // the program has the request; reply says what it took
        NoProgram,  // no program serves the pipe
        Failed,     // the pipe is there but the request did not get through (why)
    };
    Outcome outcome = Outcome::NoProgram;
    ScanRequestReply reply;
    std::string why;
};

// Sends the paths (full paths, UTF-8) and waits up to waitMs for the pipe
// while the program serves another client. The program comes to the front
// as it takes the request: it is allowed to.
HandOver HandScanRequestOver(const std::vector<std::string>& paths, unsigned long waitMs = 10000,
                             const std::string& pipeName = kScanRequestPipe);

// Each argument as a full path, read against the current folder as the
// user who typed it meant (the running program has another); an argument
// the system cannot read as a path stays as it is, for the program to
// refuse with a word.
std::vector<std::string> FullPathsOf(const std::vector<std::string>& arguments);

}  // namespace tolvar
