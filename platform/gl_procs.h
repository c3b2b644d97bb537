#pragma once
// GL entry points looked up by name, for code that must ask whether an entry point
// exists instead of letting libepoxy abort on a missing one (the shader effects load
// their table this way). Tests can hide names to play a driver that lacks them.
// Needs a current context. Main thread only.
#include <string>

namespace VantorGL::platform {

// The entry point called `name`, or null when the driver has none or it is hidden.
void* GetGlProcAddress(const char* name);

// Hides entry points from GetGlProcAddress until cleared (tests only).
void HideGlProc(const std::string& name);
void ClearHiddenGlProcs();

}  // namespace VantorGL::platform
