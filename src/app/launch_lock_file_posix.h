#pragma once

#include <string>
#include <vector>

// The file behind the native launch lock. Only a regular file of this user
// counts: another local user can create files under /tmp, and a lock file of
// theirs would block every launch of ours.
namespace quarvel::launcher {

// Where the lock file may be, in order of preference: the runtime directory
// (or, without one, a per-user name under /tmp), then a file beside our cache
// in the user's data folder.
std::vector<std::string> LaunchLockFileCandidates();

// Opens (creating when missing) the first candidate that is a regular file
// owned by this user; never follows a symlink or waits on a FIFO. Returns the
// descriptor, or -1 when no candidate will do; `chosen` gets its path.
int OpenLaunchLockFile(const std::vector<std::string>& candidates, std::string& chosen);

}  // namespace quarvel::launcher
