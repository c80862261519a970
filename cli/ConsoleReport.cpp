#include "ConsoleReport.h"

ConsoleReport::ConsoleReport(std::ostream& out, std::ostream& err, bool confirm)
    : out_(out), err_(err), confirm_(confirm)
{
}

void ConsoleReport::LogProgress(const std::string& line)
{
    if (line == "Aborted.")
        sawAbort_ = true;
    // Each line is shown as it happens, also when standard output is a pipe.
    out_ << line << std::endl;
}

bool ConsoleReport::Confirm(const std::string& message, const std::string& title)
{
    out_.flush();
    err_ << title << ": " << message << "\n"
         << (confirm_ ? "Answered OK (--overwrite-saved-copies)."
                      : "Answered Cancel; pass --overwrite-saved-copies to answer OK.")
         << std::endl;
    return confirm_;
}

void ConsoleReport::Error(const std::string& message, const std::string& title)
{
    sawError_ = true;
    out_.flush();
    err_ << title << ": " << message << std::endl;
}

void ConsoleReport::Notice(const std::string& message)
{
    sawNotice_ = true;
    out_.flush();
    err_ << message << std::endl;
}
