#include "QtsMode.h"

#include <cstring>

namespace
{

char FoldAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

QtsMode ModeFromArguments(int argc, const char* const* argv)
{
    if (argc < 2 || argv[1] == nullptr)
        return QtsMode::AliasConfiguration;
    const char* const setup = "/setup";
    const char* argument = argv[1];
    if (std::strlen(argument) != std::strlen(setup))
        return QtsMode::AliasConfiguration;
    for (std::size_t i = 0; setup[i] != '\0'; ++i) {
        if (FoldAsciiLetter(argument[i]) != setup[i])
            return QtsMode::AliasConfiguration;
    }
    return QtsMode::Setup;
}
