#pragma once

namespace velm {

// The program's own version text: the end of the window caption and what the version check compares.
inline constexpr const char *kProgramVersion = "1.6.quorin";

} // namespace velm
