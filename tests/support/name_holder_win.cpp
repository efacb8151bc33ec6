// Holds a named mutex the way a program without administrator rights can
// take a global name first: "deny" with an access list that lets nobody in,
// "open" with the security its token gives by default (owned by its user).
// Prints "held" once the name is taken, then holds it until it is ended.
// Exit code 1 when the name cannot be taken.

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "deny") != 0 && std::strcmp(argv[1], "open") != 0)) {
        std::fprintf(stderr, "usage: name_holder deny|open NAME\n");
        return 2;
    }
    SECURITY_DESCRIPTOR nobody;
    InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION);
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE);
    SECURITY_ATTRIBUTES denyAll{sizeof denyAll, &nobody, FALSE};
    const bool deny = std::strcmp(argv[1], "deny") == 0;
    const HANDLE mutex = CreateMutexA(deny ? &denyAll : nullptr, TRUE, argv[2]);
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "the name %s could not be taken (%lu)\n", argv[2], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
