#pragma once
// Tessaly's content generators: each returns the finished bytes of one file of
// the production's data tree. All of them are deterministic. What any show
// could use (surfaces, models, the synthesiser, text) is the content library's
// (tools/content/); what is the production's own is here.
#include <cstdint>
#include <string>
#include <vector>

#include "shapes.h"
#include "surfaces.h"
#include "synth.h"
#include "text.h"

namespace content {

using Bytes = std::vector<uint8_t>;

inline constexpr int kSlideWidth = 1024;   // slides, overlay and background frames
inline constexpr int kSlideHeight = 768;
inline constexpr int kSlideCount = 56;
inline constexpr int kBackgroundFrames = 6;

// pictures.cpp: the overlay, the background loop and the loading picture.
Bytes MakeOverlay(const Typeface& face);    // PNG RGBA, 1024 x 768
Bytes MakeBackgroundFrame(int frame);       // JPEG, 1024 x 768, frame 0..5 of a loop
Bytes MakeLoadingPicture(const Typeface& face);  // JPEG

// slides.cpp: slide `index` (0..55) as a PNG with alpha, 1024 x 768.
Bytes MakeSlide(int index, const Typeface& face);
// A line for the property file's description of slide `index`.
std::string SlideCaption(int index);

// animation.cpp: the camera flight as an ASE text export.
std::string MakeCameraExport();

// music.cpp: both tunes as MP3 (44.1 kHz stereo, with the encoder's info tag).
Bytes MakeMusic();
Bytes MakeLoadingTune();
// Lengths in samples per channel, for checks.
int64_t MusicSamples();
int64_t LoadingTuneSamples();

}  // namespace content
