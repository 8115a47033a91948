// The COM number's up-down control and its edit.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "up_down_control.h"

namespace {

TEST(UpDownControlTest, TypedNumbersCountOnlyWhenValidAndStepsStayInRange) {
    QLineEdit edit;
    UpDownControl upDown;
    upDown.SetRange(1, 255);
    upDown.SetBuddy(&edit);
    upDown.SetPosition(1);
    EXPECT_EQ(edit.text(), "1");

    edit.setText("7");
    EXPECT_EQ(upDown.Position(), 7);
    for (const char* invalid : {"0", "256", "300", "abc", "", "7x"}) {
        edit.setText(invalid);
        EXPECT_EQ(upDown.Position(), 7) << invalid;
    }
    upDown.SetPosition(255);
    upDown.Step(1);
    EXPECT_EQ(upDown.Position(), 255);  // no wrap-around
    upDown.SetPosition(1000);
    EXPECT_EQ(edit.text(), "255");
    upDown.SetPosition(1);
    upDown.Step(-1);
    EXPECT_EQ(edit.text(), "1");

    // The arrow keys in the edit step the number it shows.
    edit.setText("41");
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.text(), "42");
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), "40");
}

}  // namespace
