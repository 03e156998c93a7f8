// The drives a music scan searches. On this platform a drive is a mounted file system
// that can hold the user's files: /proc/self/mounts without the pseudo file systems
// (proc, sysfs, devtmpfs, cgroup, debugfs...) and without the system's own mounts under
// /proc, /sys, /dev and /run, sorted by mount path. Each is walked without crossing into
// the mounts below it, since those are drives of their own. KALVIRA_DRIVES, a
// ":"-separated list of folders, replaces the list; those folders are walked whole.
//
// Plain functions; any thread (the environment is read, never written).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_services.h"

namespace kalvira {

struct TDrive {
  std::string root;             // the folder the walk starts at
  bool stay_on_device = false;  // mounts below the root are drives of their own
  bool operator==(const TDrive&) const = default;
};

// The environment variable that replaces the mount table.
inline constexpr const char* kDrivesVariable = "KALVIRA_DRIVES";

// The drives of a mount table in the format of /proc/self/mounts (octal escapes such as
// "\040" decoded), sorted by mount path, each mount path once.
std::vector<TDrive> DrivesOfMountTable(std::string_view mounts);

// The folders of a KALVIRA_DRIVES value, in its order; empty parts are dropped.
std::vector<TDrive> DrivesOfList(std::string_view list);

// KALVIRA_DRIVES when it is set, else the mount table of this process.
std::vector<TDrive> SystemDrives();

// Whether a drive is ready: the total size of its root can be read and is not zero.
// When it cannot, the default beep sounds and the answer is false.
bool DiskInDrive(const TDrive& drive, IBeeper& beeper);

// The drives of `candidates` that are ready, in order (one beep per drive skipped).
std::vector<TDrive> ReadyDrives(const std::vector<TDrive>& candidates, IBeeper& beeper);

}  // namespace kalvira
