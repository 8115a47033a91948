// Reporting a failed check: the trace line, the box, and the end of the program on Yes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assert_report.h"
#include "debug_trace.h"
#include "manager_fixture.h"

namespace {

using diagnostics::AssertFailed;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class AssertReportTest : public vr620_test::ManagerTest {};

TEST_F(AssertReportTest, TracesOneLineAndAsksWithTheSystemsBoxText) {
    answer = manager::BoxAnswer::No;
    CaptureStderr();
    errno = ENOENT;
    EXPECT_EQ(AssertFailed("/work/src/Manager/MainUnit.cpp", 566, "hFile != NULL"), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "MainUnit.cpp @ 566 -> !!! Assertion failed !!! hFile != NULL\n");

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "DEBUG window");
    EXPECT_EQ(boxes[0].buttons, manager::BoxButtons::YesNo);
    EXPECT_EQ(boxes[0].icon, manager::BoxIcon::Error);
    EXPECT_EQ(boxes[0].text,
              "!!! Assertion failed !!!\n"
              "Application: VR620Manager\n"
              "\n"
              "File name:   MainUnit.cpp\n"
              "Line number: 566\n"
              "\n"
              "Expression:  hFile != NULL\n"
              "\n"
              "Last Error:  2 / No such file or directory\n"
              "\n"
              "Do you wan't to exit application?");
}

TEST_F(AssertReportTest, WritesTheConditionAsItStandsAndCutsALongBox) {
    answer = manager::BoxAnswer::No;
    CaptureStderr();
    AssertFailed("C:\\src\\unit.cpp", 7, "100% of %s and %n");
    EXPECT_EQ(GetCapturedStderr(), "unit.cpp @ 7 -> !!! Assertion failed !!! 100% of %s and %n\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("Expression:  100% of %s and %n\n"), std::string::npos);

    const std::string longCondition(3000, 'c');
    CaptureStderr();
    AssertFailed("unit.cpp", 8, longCondition.c_str());
    GetCapturedStderr();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text.size(), 1023u);
    EXPECT_EQ(boxes[1].text.substr(0, 25), "!!! Assertion failed !!!\n");
}

TEST_F(AssertReportTest, TheBoxShowsTheErrorCodeOfTheMomentOfTheCall) {
    answer = manager::BoxAnswer::No;
    errno = EACCES;
    EXPECT_EQ(diagnostics::ShowAssertBox("Title", "a/b.cpp", 1, "x"), manager::BoxAnswer::No);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.substr(0, 6), "Title\n");
    EXPECT_NE(boxes[0].text.find("Last Error:  13 / Permission denied\n"), std::string::npos);
    EXPECT_NE(diagnostics::AssertBoxText("T", "f", 1, "c", 0).find("Last Error:  0 / Success\n"),
              std::string::npos);
}

TEST_F(AssertReportTest, DebugTraceFormatsBehindTheHead) {
    CaptureStderr();
    diagnostics::DebugTrace("dir/file.cpp", 42, "%d clients on %s", 3, "port");
    EXPECT_EQ(GetCapturedStderr(), "file.cpp @ 42 -> 3 clients on port\n");
}

void ExitHandler() {
    std::fputs("exit handlers ran\n", stderr);
}

TEST_F(AssertReportTest, YesEndsTheProgramInOrderWithAFailureCode) {
    EXPECT_EXIT(
        {
            std::atexit(ExitHandler);
            answer = manager::BoxAnswer::Yes;
            AssertFailed("MainUnit.cpp", 566, "hFile != NULL");
            std::fputs("went on after Yes\n", stderr);
            std::abort();
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "exit handlers ran");
}

}  // namespace
