#include "profile_file.h"

#include <gtest/gtest.h>

#include "../support/temp_dir.h"
#include "system_error.h"

namespace {

using vr620_test::ReadFile;
using vr620_test::TempDir;
using vr620_test::WriteFile;

class ProfileFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::filesystem::path file = dir / "TEST.INI";
    std::string Read(std::string_view section, std::string_view key, std::string_view def = "DEF",
                     std::size_t size = 2048) {
        return profile::ReadString(file, section, key, def, size);
    }
};

TEST_F(ProfileFile, NamesMatchWithoutCaseAndValuesKeepTheirCase) {
    WriteFile(file, "[Modem]\r\nBaudRate=MiXed\r\n");
    EXPECT_EQ(Read("modem", "BAUDRATE"), "MiXed");
    EXPECT_EQ(Read("MODEM", "baudrate"), "MiXed");
}

TEST_F(ProfileFile, BlanksAndQuotesAroundNamesAndValuesAreDropped) {
    WriteFile(file,
              "  [ Sec ]  \n \tkey one \t=\t value two \t\nq1=\"quoted \"\nq2='x'\n"
              "q3=\"mixed'\nq4=\"\n");
    EXPECT_EQ(Read("Sec", "key one"), "value two");
    EXPECT_EQ(Read("Sec", "q1"), "quoted ");
    EXPECT_EQ(Read("Sec", "q2"), "x");
    EXPECT_EQ(Read("Sec", "q3"), "\"mixed'");
    EXPECT_EQ(Read("Sec", "q4"), "\"");
}

TEST_F(ProfileFile, LineSplitsAtFirstEqualsAndHasNoInlineComments) {
    WriteFile(file, "[S]\na=b=c\nk=v ;x\n#h=hash\n;c=comment\n  ;d=comment\n");
    EXPECT_EQ(Read("S", "a"), "b=c");
    EXPECT_EQ(Read("S", "k"), "v ;x");
    EXPECT_EQ(Read("S", "#h"), "hash");
    EXPECT_EQ(Read("S", ";c"), "DEF");
    EXPECT_EQ(Read("S", "c"), "DEF");
    EXPECT_EQ(Read("S", "d"), "DEF");
}

TEST_F(ProfileFile, AllLineEndsRead) {
    WriteFile(file, "[A]\r\na=1\r\n\r\n[B]\nb=2\n\n[C]\rc=3\r\rd=4");
    EXPECT_EQ(Read("A", "a"), "1");
    EXPECT_EQ(Read("B", "b"), "2");
    EXPECT_EQ(Read("C", "c"), "3");
    EXPECT_EQ(Read("C", "d"), "4");
}

TEST_F(ProfileFile, FirstOfEqualKeysAndSectionsWins) {
    WriteFile(file, "[S]\nk=first\nK=second\n[T]\nk=other\n[s]\nk=third\nonly=late\n");
    EXPECT_EQ(Read("S", "k"), "first");
    EXPECT_EQ(Read("T", "k"), "other");
    EXPECT_EQ(Read("S", "only"), "DEF");
}

TEST_F(ProfileFile, MissingPartsGiveTheDefaultButAnEmptyValueIsEmpty) {
    EXPECT_EQ(Read("S", "k"), "DEF");  // no file
    WriteFile(file, "top=level\n[S]\nempty=\nblank=   \n");
    EXPECT_EQ(Read("X", "k"), "DEF");
    EXPECT_EQ(Read("S", "k"), "DEF");
    EXPECT_EQ(Read("S", "top"), "DEF");
    EXPECT_EQ(Read("S", "empty"), "");
    EXPECT_EQ(Read("S", "blank"), "");
    EXPECT_EQ(profile::Lookup(file, "S", "empty"), "");
    EXPECT_EQ(profile::Lookup(file, "S", "k"), std::nullopt);
}

TEST_F(ProfileFile, LongValuesAreCutToTheBuffer) {
    WriteFile(file, "[S]\nk=abcdef\n");
    EXPECT_EQ(Read("S", "k", "", 4), "abc");
    EXPECT_EQ(Read("S", "k", "", 1), "");
    EXPECT_EQ(Read("S", "k", "", 0), "");
    EXPECT_EQ(Read("S", "missing", "defaultlong", 5), "defa");
}

TEST_F(ProfileFile, IntegersTakeTheLeadingDecimalNumber) {
    WriteFile(file,
              "[S]\na=12abc\nb=B42\nc= -7\nd=+15\ne=\nf=99999999999\ng=-99999999999\n"
              "h=0x10\n");
    EXPECT_EQ(profile::ReadInt(file, "S", "a", 5), 12);
    EXPECT_EQ(profile::ReadInt(file, "S", "b", 5), 0);
    EXPECT_EQ(profile::ReadInt(file, "S", "c", 5), -7);
    EXPECT_EQ(profile::ReadInt(file, "S", "d", 5), 15);
    EXPECT_EQ(profile::ReadInt(file, "S", "e", 5), 0);
    EXPECT_EQ(profile::ReadInt(file, "S", "f", 5), INT_MAX);
    EXPECT_EQ(profile::ReadInt(file, "S", "g", 5), INT_MIN);
    EXPECT_EQ(profile::ReadInt(file, "S", "h", 5), 0);
    EXPECT_EQ(profile::ReadInt(file, "S", "missing", 5), 5);
    EXPECT_EQ(profile::ReadInt(dir / "none.ini", "S", "a", -3), -3);
}

TEST_F(ProfileFile, WriteCreatesAFileWithCrLf) {
    ASSERT_TRUE(profile::WriteString(file, "CONNECTION_SETTINGS", "Channel", "2"));
    EXPECT_EQ(ReadFile(file), "[CONNECTION_SETTINGS]\r\nChannel=2\r\n");
    EXPECT_EQ(Read("connection_settings", "channel"), "2");
}

TEST_F(ProfileFile, WriteKeepsEveryOtherByte) {
    const std::string before = "; head comment\n[A]\n  Key = old value  \nz=1\n\n[B]\nb=2\n";
    WriteFile(file, before);
    ASSERT_TRUE(profile::WriteString(file, "a", "KEY", "new"));
    EXPECT_EQ(ReadFile(file), "; head comment\n[A]\n  Key=new\nz=1\n\n[B]\nb=2\n");
}

TEST_F(ProfileFile, NewKeyGoesAfterTheLastKeyOfItsSection) {
    WriteFile(file, "[A]\r\na=1\r\n; note\r\n\r\n[B]\r\nb=2\r\n");
    ASSERT_TRUE(profile::WriteString(file, "A", "n", "v"));
    EXPECT_EQ(ReadFile(file), "[A]\r\na=1\r\nn=v\r\n; note\r\n\r\n[B]\r\nb=2\r\n");
}

TEST_F(ProfileFile, NewSectionGoesAtTheEndInTheFilesLineEnd) {
    WriteFile(file, "[A]\na=1");  // no line end at the end
    ASSERT_TRUE(profile::WriteString(file, "B", "b", "2"));
    EXPECT_EQ(ReadFile(file), "[A]\na=1\n[B]\nb=2\n");
    ASSERT_TRUE(profile::WriteString(file, "A", "c", "3"));
    EXPECT_EQ(ReadFile(file), "[A]\na=1\nc=3\n[B]\nb=2\n");
}

TEST_F(ProfileFile, KeyIntoSectionHeaderWithoutLineEnd) {
    WriteFile(file, "[A]");
    ASSERT_TRUE(profile::WriteString(file, "A", "k", "v"));
    EXPECT_EQ(Read("A", "k"), "v");
    EXPECT_EQ(ReadFile(file), "[A]\r\nk=v\r\n");
}

TEST_F(ProfileFile, WriteFailsWhenTheFolderDoesNotExist) {
    auto missing = dir / "no-such-folder" / "X.INI";
    common::SetLastSystemError(0);
    EXPECT_FALSE(profile::WriteString(missing, "A", "a", "1"));
    EXPECT_NE(common::LastSystemError(), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(ProfileFile, WriteThatCannotReplaceKeepsTheOldContent) {
    // A directory in the file's place cannot be replaced by a rename.
    std::filesystem::create_directory(file);
    EXPECT_FALSE(profile::WriteString(file, "A", "a", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(file));
    std::size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

}  // namespace
