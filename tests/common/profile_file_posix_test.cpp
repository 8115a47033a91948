// The profile files' POSIX-only behaviour: a FIFO in the file's place, and the file's mode and
// identity across an atomic replace.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../support/temp_dir.h"
#include "profile_file.h"

namespace {

class ProfileFilePosix : public ::testing::Test {
  protected:
    vr620_test::TempDir dir;
    std::filesystem::path file = dir / "TEST.INI";
};

TEST_F(ProfileFilePosix, OnlyARegularFileIsAFile) {
    // Opening a FIFO would wait for a writer for ever.
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    EXPECT_EQ(profile::ReadString(file, "S", "k", "DEF"), "DEF");
    EXPECT_EQ(profile::ReadInt(file, "S", "k", 7), 7);
    EXPECT_FALSE(profile::WriteString(file, "S", "k", "v"));
}

TEST_F(ProfileFilePosix, WriteReplacesTheFileAtomicallyAndKeepsItsMode) {
    vr620_test::WriteFile(file, "[A]\na=1\n");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    ASSERT_TRUE(profile::WriteString(file, "A", "a", "2"));
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    // No temporary file stays behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

}  // namespace
