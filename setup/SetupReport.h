// What a setup operation may tell or ask the person running it. The setup window implements it
// with its progress log and dialogs; tests implement it with recorded lines and scripted answers.
#pragma once

#include <string>

class SetupReport
{
public:
    virtual ~SetupReport() = default;
    // Appends one line to the progress log (an empty text appends an empty line) and shows it
    // at once.
    virtual void LogProgress(const std::string& line) = 0;
    // A question with OK and Cancel; true when the user chose OK.
    virtual bool Confirm(const std::string& message, const std::string& title) = 0;
    // An error dialog with a single OK button.
    virtual void Error(const std::string& message, const std::string& title) = 0;
    // A plain notice captioned with the application title.
    virtual void Notice(const std::string& message) = 0;
};
