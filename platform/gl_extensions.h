#pragma once
// GL version and extension questions, asked of the current context through
// libepoxy. Tests can hide extensions here: Mesa cannot remove one of its
// always-on extensions alone (MESA_EXTENSION_OVERRIDE takes ~95 others with it).
#include <string>

namespace VantorGL::platform {

// True when the current context reports `name` and it is not hidden.
bool HasGlExtension(const char* name);
// Major * 10 + minor of the current context (21 for OpenGL 2.1).
int GlVersion();

// GL_MAX_TEXTURE_SIZE of the current context, or the test limit when that is lower.
int MaxTextureSize();
// Caps MaxTextureSize at `size` (tests only: Mesa's maximum cannot be lowered);
// 0 removes the cap.
void LimitMaxTextureSize(int size);

// Hides extensions from HasGlExtension until cleared (tests only).
void HideGlExtension(const std::string& name);
void ClearHiddenGlExtensions();

}  // namespace VantorGL::platform
