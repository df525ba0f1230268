#pragma once
// The runtime's access to the program's command line (ParamCount/ParamStr). main hands its
// arguments over once with SetCommandLine; until then the arguments are read from
// /proc/self/cmdline, so code that runs before main (or in a test) still sees the real ones.
// ParamStr(0) is the executable's full path, not argv[0] as typed. Thread-safe.

#include <string>

namespace lumo {

void SetCommandLine(int argc, const char* const* argv);
// Number of arguments after the program name.
int ParamCount();
// 0 = the executable's full path, 1..ParamCount() = the arguments; empty text out of range.
std::string ParamStr(int index);

}  // namespace lumo
