// Every message box of the manager goes through here, so that tests can answer the boxes
// themselves and no box is ever left open on a test machine.
#pragma once

#include <functional>
#include <string>

namespace manager {

enum class BoxIcon { Error, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

struct MessageBoxRequest {
    std::string caption;
    std::string text;
    BoxIcon icon = BoxIcon::Error;
    BoxButtons buttons = BoxButtons::Ok;
    BoxAnswer defaultAnswer = BoxAnswer::Ok;
};

// Shows the box modal to all the program's windows and returns the user's choice. The texts are
// UTF-8.
BoxAnswer ShowMessageBox(const MessageBoxRequest& request);

using MessageBoxAnswerer = std::function<BoxAnswer(const MessageBoxRequest&)>;

// Installs a function that answers every box in place of the user; an empty function brings
// back the real boxes. Returns the answerer that was installed before.
MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

}  // namespace manager
