// The setup operations' report on a terminal: progress lines on standard output as they
// happen; notices, error dialogs and questions on standard error. Nothing is asked: questions
// take the answer given on the command line.
#pragma once

#include <ostream>

#include "SetupReport.h"

class ConsoleReport : public SetupReport
{
public:
    // `confirm` answers every question: OK when true, Cancel otherwise.
    ConsoleReport(std::ostream& out, std::ostream& err, bool confirm);

    void LogProgress(const std::string& line) override;
    bool Confirm(const std::string& message, const std::string& title) override;
    void Error(const std::string& message, const std::string& title) override;
    void Notice(const std::string& message) override;

    bool SawAbort() const { return sawAbort_; }
    bool SawNotice() const { return sawNotice_; }
    bool SawError() const { return sawError_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool confirm_;
    bool sawAbort_ = false;
    bool sawNotice_ = false;
    bool sawError_ = false;
};
