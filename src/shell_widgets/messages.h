#pragma once
// Message boxes and the application's error handler, replaceable so tests can answer them.
#include "base/cp950.h"
#include "base/error.h"

#include <exception>
#include <functional>
#include <string>

class QWidget;

namespace velm {

struct MessageHooks {
    std::function<void(const Big5Text &text)> information;
    std::function<bool(const Big5Text &text)> question; // true for Yes
    std::function<void(const std::string &utf8)> error;
};

// Replaces the message boxes (an empty member keeps the box).
void setMessageHooks(MessageHooks hooks);

void ShowMessage(const Big5Text &text);
bool AskYesNo(const Big5Text &text);
// The application's error handler: shows the text; the program keeps running.
void ShowError(const std::string &utf8);

// Runs a command at the event boundary: an error ends the command and is shown; the program goes on.
template <typename Command> void guarded(Command &&command)
{
    try {
        command();
    } catch (const Error &e) {
        ShowError(e.utf8());
    } catch (const std::exception &e) {
        ShowError(e.what());
    }
}

} // namespace velm
