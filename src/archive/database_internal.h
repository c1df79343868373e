#pragma once
// What the files of the connection and query code share; nothing outside them includes this.
#include <string_view>

namespace velm::database_internal {

// Column and parameter names compare without regard to case.
bool sameName(std::string_view a, std::string_view b);

} // namespace velm::database_internal
