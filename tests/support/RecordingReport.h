// A SetupReport that records what a setup operation tells or asks, for tests. Confirm takes its
// answers from a script, first in first out, and answers OK once the script is used up.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "SetupReport.h"

class RecordingReport : public SetupReport
{
public:
    struct Dialog {
        std::string message;
        std::string title;
    };

    std::vector<std::string> log;     // progress lines, in order (empty lines included)
    std::vector<std::string> notices; // ShowNotice messages
    std::vector<Dialog> confirms;     // questions asked
    std::vector<Dialog> errors;       // error dialogs shown
    // Everything in the order it happened: "log: ", "notice: ", "confirm: ", "error: " + text.
    std::vector<std::string> events;
    std::deque<bool> answers; // scripted answers to Confirm

    void LogProgress(const std::string& line) override { Record(log, "log: ", line); }
    bool Confirm(const std::string& message, const std::string& title) override
    {
        confirms.push_back({message, title});
        events.push_back("confirm: " + message);
        const bool answer = answers.empty() || answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
    void Error(const std::string& message, const std::string& title) override
    {
        errors.push_back({message, title});
        events.push_back("error: " + message);
    }
    void Notice(const std::string& message) override { Record(notices, "notice: ", message); }

private:
    void Record(std::vector<std::string>& list, const char* kind, const std::string& text)
    {
        list.push_back(text);
        events.push_back(kind + text);
    }
};
