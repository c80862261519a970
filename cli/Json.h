// JSON text for qtsctl's --json output. Strings are written byte for byte apart from the
// escapes JSON needs, so UTF-8 text stays as it is.
#pragma once

#include <string>

std::string JsonString(const std::string& text);
