#include "core/child_process_win.h"

namespace tolvar {

std::optional<ChildPipe> MakeChildPipe(ChildEnd child) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return std::nullopt;
    UniqueHandle reading(readEnd), writing(writeEnd);
    ChildPipe pipe;
    if (child == ChildEnd::Reads) {
        pipe = ChildPipe{std::move(reading), std::move(writing)};
    } else {
        pipe = ChildPipe{std::move(writing), std::move(reading)};
    }
    // Only the child's end is inherited.
    SetHandleInformation(pipe.ours.get(), HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

StartedChild StartChild(const std::string& executable, std::string commandLine,
                        const std::string& folder, ChildHandles handles) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles.input;
    startup.hStdOutput = handles.output;
    startup.hStdError = handles.output;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(executable.empty() ? nullptr : executable.c_str(), commandLine.data(),
                        nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, folder.c_str(), &startup,
                        &info)) {
        return StartedChild{UniqueHandle(), GetLastError()};
    }
    // The child's main thread is not ours to use; its handle goes at once.
    const UniqueHandle thread(info.hThread);
    return StartedChild{UniqueHandle(info.hProcess), 0};
}

}  // namespace tolvar
