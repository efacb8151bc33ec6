#pragma once

// Who may change the data folder. The program runs elevated and acts on what
// it finds there: the vault's records say where a restore writes, the scan
// dump what a removal takes, the updater's configuration what ClamAV's
// updater runs, the database folder what the scanner loads. So the data
// folder and all it holds must be writable by administrators and the system
// alone: a file that any program could edit would let that program choose
// what this one does with its rights.

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar {

inline constexpr const char* kAdministratorsSid = "S-1-5-32-544";
inline constexpr const char* kLocalSystemSid = "S-1-5-18";
// "Everyone".
inline constexpr const char* kEveryoneSid = "S-1-1-0";
// "OWNER RIGHTS": an entry for whoever owns the object.
inline constexpr const char* kOwnerRightsSid = "S-1-3-4";

// The access rights that change a file or folder, its content, its name or
// who may do so: write and append data, write extended attributes and
// attributes, delete a child, delete, write the access list or the owner,
// and the generic write and all rights.
inline constexpr std::uint32_t kChangingRights = 0x00000002 | 0x00000004 | 0x00000010 | 0x00000040 |
                                                 0x00000100 | 0x00010000 | 0x00040000 | 0x00080000 |
                                                 0x10000000 | 0x40000000;

// One entry of an access list, as far as the check needs it.
struct AccessEntry {
    bool allows = true;        // an "allow" entry; "deny" entries grant nothing
    bool inheritOnly = false;  // applies to children only, not to the object
    std::uint32_t rights = 0;
    std::string sid;       // in its text form, "S-1-5-32-544"
    bool toFiles = false;  // inherited by the files a folder holds
};

// What a file's or folder's security descriptor says.
struct SecurityView {
    std::string owner;  // "" when the descriptor has none
    // A descriptor without an access list lets everyone do anything.
    bool hasAccessList = false;
    std::vector<AccessEntry> entries;
};

// True when someone outside `writers` could change the object: it has no
// owner or an owner outside them (an owner may always rewrite the access
// list), it has no access list, or an entry lets a SID outside them change
// it.
bool OthersCanChange(const SecurityView& view, const std::vector<std::string>& writers);

// The right to run a file as a program (FILE_EXECUTE).
inline constexpr std::uint32_t kExecuteRight = 0x00000020;

// True when the list denies Everyone the running of the files the folder
// holds, through an entry its files inherit: the vault's copies keep their
// names (an .exe stays an .exe) and must never run by a double click.
bool DeniesRunningFiles(const SecurityView& view);

// Who may change the data folder: the Administrators and SYSTEM. A file
// system that keeps no owner of its own reports every file as owned by the
// user the program runs as, whatever owner it was given (Wine on a Unix file
// system does); there that user, ownerAfterProtecting, is let in too, and
// only grants to anyone else tell a folder opened to others. currentUser is
// the SID the program runs as.
std::vector<std::string> TrustedWriters(const std::string& ownerAfterProtecting,
                                        const std::string& currentUser);

}  // namespace tolvar
