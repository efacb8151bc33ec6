// Prints the owner and the access list of a file or folder as the system reports
// them to programs, in the system's own text form ("O:<owner>D:<list>"), for
// tests that look at the folders the setup made. Exit code 1 when the
// system cannot tell.

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: folder_access FOLDER\n");
        return 2;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (GetNamedSecurityInfoA(argv[1], SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr, nullptr,
                              &descriptor) != ERROR_SUCCESS) {
        std::fprintf(stderr, "the access list of %s cannot be read\n", argv[1]);
        return 1;
    }
    char* text = nullptr;
    const BOOL converted = ConvertSecurityDescriptorToStringSecurityDescriptorA(
        descriptor, SDDL_REVISION_1, parts, &text, nullptr);
    LocalFree(descriptor);
    if (!converted) return 1;
    std::printf("%s\n", text);
    LocalFree(text);
    return 0;
}
