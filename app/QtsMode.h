// Which of the two windows a run of the program opens.
#pragma once

enum class QtsMode { AliasConfiguration, Setup };

// The mode for the raw command line: "/setup" as the first argument, compared ignoring the
// letter case of A-Z only, selects the setup window; anything else the alias window.
QtsMode ModeFromArguments(int argc, const char* const* argv);
