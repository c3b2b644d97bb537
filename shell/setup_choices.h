#pragma once
// The setup dialog's two lists, in the order the dialog shows them; an index
// into a list is what the dialog answers (SetupResult) and what
// cWindowsSystem::RunSetupDialog applies.
#include <cstdint>

namespace VantorGL {

struct ResolutionChoice {
  const char* text;
  int32_t width, height;
};

struct AntiAliasingChoice {
  const char* text;
  bool antiAliasing;
  int32_t samples;  // 0: leaves the samples setting as it is
};

inline constexpr ResolutionChoice kResolutionChoices[] = {
    {"640x480", 640, 480},   {"800x600", 800, 600},   {"960x600", 960, 600},
    {"1024x768", 1024, 768}, {"1280x720", 1280, 720}, {"1280x768", 1280, 768},
    {"1280x960", 1280, 960}, {"1440x900", 1440, 900}, {"1680x1050", 1680, 1050},
};

inline constexpr AntiAliasingChoice kAntiAliasingChoices[] = {
    {"No AA", false, 0}, {"2X AA", true, 2}, {"4X AA", true, 4}, {"6X AA", true, 6}, {"16X AA", true, 16},
};

inline constexpr int32_t kResolutionChoiceCount = 9;
inline constexpr int32_t kAntiAliasingChoiceCount = 5;
static_assert(sizeof(kResolutionChoices) / sizeof(kResolutionChoices[0]) == kResolutionChoiceCount);
static_assert(sizeof(kAntiAliasingChoices) / sizeof(kAntiAliasingChoices[0]) == kAntiAliasingChoiceCount);

// What the dialog shows selected when it opens: "1024x768" and "4X AA".
inline constexpr int32_t kInitialResolutionIndex = 3;
inline constexpr int32_t kInitialAntiAliasingIndex = 2;

}  // namespace VantorGL
