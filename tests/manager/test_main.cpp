// The manager's tests run real Qt widgets on the offscreen platform. A message box that a test
// did not expect fails that test instead of waiting for a user.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "message_boxes.h"

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    // A child for an exit test starts afresh instead of forking a process with Qt's threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QApplication application(argc, argv);
    manager::SetMessageBoxAnswerer([](const manager::MessageBoxRequest& request) {
        ADD_FAILURE() << "unexpected message box \"" << request.caption << "\": " << request.text;
        return request.defaultAnswer == manager::BoxAnswer::Yes ? manager::BoxAnswer::No
                                                                : request.defaultAnswer;
    });
    return RUN_ALL_TESTS();
}
