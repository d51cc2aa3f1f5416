#pragma once

#include <string_view>

namespace kb::exchange {

// The UTF-8 text of a named character reference ("amp;", "frac12;", or a legacy bare name such
// as "amp"), or nullptr when HTML has no such name.
const char* namedEntity(std::string_view name);

} // namespace kb::exchange
