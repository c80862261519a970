#include "QtsMode.h"

#include "AsciiCase.h"

QtsMode ModeFromArguments(int argc, const char* const* argv)
{
    if (argc < 2 || argv[1] == nullptr)
        return QtsMode::AliasConfiguration;
    return EqualIgnoringAsciiCase(argv[1], "/setup") ? QtsMode::Setup : QtsMode::AliasConfiguration;
}
