// The guard every event handler runs under: an exception that a handler does not handle is shown
// in the application's error box, and the window goes on in the state the handler left.
#pragma once

#include <exception>
#include <string>

// The error box: stop icon, OK, the application title as caption; a "." is appended when the
// message's last character code is greater than ".".
void ShowErrorBox(const std::string& message);
// The text the error box shows for a message.
std::string ErrorBoxText(const std::string& message);

template <class Handler> void Guarded(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorBox(error.what());
    } catch (...) {
        ShowErrorBox("Unknown error");
    }
}
