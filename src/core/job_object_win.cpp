#include "core/job_object_win.h"

#include "core/app_error.h"
#include "core/system_error_win.h"

namespace tolvar {

KillOnCloseJob::KillOnCloseJob() : job_(CreateJobObjectA(nullptr, nullptr)) {
    if (!job_)
        throw AppError("The program could not make a job object: " +
                       SystemErrorText(GetLastError()));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        throw AppError("The program could not limit a job object: " +
                       SystemErrorText(GetLastError()));
    }
}

UniqueHandle KillOnCloseJob::Start(const std::string& executable, std::string commandLine,
                                   const std::string& folder, std::string& error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job: a child that ran first could start
    // children of its own outside it.
    if (!CreateProcessA(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        error = SystemErrorText(GetLastError());
        return UniqueHandle();
    }
    UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    if (!AssignProcessToJobObject(job_.get(), process.get())) {
        error = "it could not be put into the program's job: " + SystemErrorText(GetLastError());
        TerminateProcess(process.get(), 1);
        return UniqueHandle();
    }
    ResumeThread(thread.get());
    return process;
}

}  // namespace tolvar
