#pragma once
// The present moment on the local clock, as text.
#include <string>

namespace velm {

// Now, in the local time zone, written by strftime's format.
std::string LocalTimeNow(const char *strftimeFormat);

} // namespace velm
