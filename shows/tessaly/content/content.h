#pragma once
// The content tool's generators: each returns the finished bytes of one file of
// the production's data tree. All of them are deterministic.
#include <cstdint>
#include <string>
#include <vector>

#include "text.h"

namespace content {

using Bytes = std::vector<uint8_t>;

inline constexpr int kSlideWidth = 1024;   // slides, overlay and background frames
inline constexpr int kSlideHeight = 768;
inline constexpr int kSlideCount = 56;
inline constexpr int kBackgroundFrames = 6;
inline constexpr int kSampleRate = 44100;

// pictures.cpp: the named textures, the background loop and the loading picture.
Bytes MakeSceneryTexture();                 // JPEG, 512 x 512, tiles
Bytes MakeNormalMap();                      // PNG RGB, 512 x 512, tangent space, tiles
Bytes MakeWaterTexture();                   // JPEG, 512 x 512, tiles
Bytes MakeSkyTexture();                     // JPEG, 1024 x 512, wraps horizontally
Bytes MakeOverlay(const Typeface& face);    // PNG RGBA, 1024 x 768
Bytes MakeBackgroundFrame(int frame);       // JPEG, 1024 x 768, frame 0..5 of a loop
Bytes MakeLoadingPicture(const Typeface& face);  // JPEG

// slides.cpp: slide `index` (0..55) as a PNG with alpha, 1024 x 768.
Bytes MakeSlide(int index, const Typeface& face);
// A line for the property file's description of slide `index`.
std::string SlideCaption(int index);

// models.cpp: 3DS files.
Bytes MakeLogoModel();
Bytes MakeLandscapeModel();
Bytes MakeShaderObjectModel();

// animation.cpp: the camera flight as an ASE text export.
std::string MakeCameraExport();

// music.cpp: both tunes as MP3 (44.1 kHz stereo, with the encoder's info tag).
Bytes MakeMusic();
Bytes MakeLoadingTune();
// Lengths in samples per channel, for checks.
int64_t MusicSamples();
int64_t LoadingTuneSamples();

}  // namespace content
