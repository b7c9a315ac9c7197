#pragma once
// JSON text for the dump tool: every UTF-16 code unit outside printable
// ASCII, and '"' and '\', is written as \uXXXX (lower-case hex), so that
// lone surrogates survive.

#include <string>
#include <string_view>

namespace vrok {

std::string JsonString(std::u16string_view text);

}  // namespace vrok
