// The drive list: the mount table without pseudo and system file systems, sorted; the
// KALVIRA_DRIVES list; a drive whose size cannot be read beeps and is skipped.
#include "scan/drives.h"

#include <gtest/gtest.h>

#include "tests/radio/radio_fixture.h"

namespace kalvira {
namespace {

TEST(DrivesTest, TheMountTableGivesTheFileSystemsThatCanHoldFilesSortedByPath) {
  const std::string mounts =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "proc /proc proc rw,nosuid 0 0\n"
      "sysfs /sys sysfs rw 0 0\n"
      "udev /dev devtmpfs rw 0 0\n"
      "devpts /dev/pts devpts rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "tmpfs /run/user/1000 tmpfs rw 0 0\n"
      "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
      "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"
      "debugfs /debug debugfs rw 0 0\n"
      "server:/music /mnt/nas nfs4 rw 0 0\n"
      "/dev/loop0 /snap/core/1 squashfs ro 0 0\n"
      "tmpfs /tmp tmpfs rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"  // mounted twice: one drive
      "short line\n"
      "\n";
  const std::vector<TDrive> expected = {
      {"/", true}, {"/home", true}, {"/media/usb stick", true}, {"/mnt/nas", true}, {"/tmp", true}};
  EXPECT_EQ(DrivesOfMountTable(mounts), expected);
}

TEST(DrivesTest, TheListVariableReplacesTheMountTable) {
  EXPECT_EQ(DrivesOfList("/music:/more music::/x/"),
            (std::vector<TDrive>{{"/music", false}, {"/more music", false}, {"/x/", false}}));
  EXPECT_TRUE(DrivesOfList("").empty());
  // This process's own table holds at least the root's file system.
  EXPECT_FALSE(DrivesOfMountTable(testing::ReadFileBytes("/proc/self/mounts")).empty());
}

TEST(DrivesTest, ADriveWhoseSizeCannotBeReadBeepsAndIsSkipped) {
  testing::TempDir dir;
  testing::RecordingBeeper beeper;
  const std::vector<TDrive> candidates = {{dir.File("gone"), false},
                                          {dir.path().string(), false},
                                          {"/proc", false},  // a file system of no size
                                          {dir.File("also gone"), true}};
  EXPECT_EQ(ReadyDrives(candidates, beeper), (std::vector<TDrive>{{dir.path().string(), false}}));
  EXPECT_EQ(beeper.beeps, 3);
}

}  // namespace
}  // namespace kalvira
