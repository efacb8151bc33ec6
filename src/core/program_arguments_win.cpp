#include "core/program_arguments_win.h"

#include <windows.h>

#include <shellapi.h>

#include "core/handles_win.h"
#include "core/wide_text_win.h"

namespace tolvar {

std::vector<std::string> ThisProgramsArguments() {
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    const LocalMemory held(raw);
    std::vector<std::string> arguments;
    for (int i = 1; raw && i < count; ++i)
        arguments.push_back(WideToUtf8(raw[i]));
    return arguments;
}

}  // namespace tolvar
