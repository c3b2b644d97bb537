// The running order: every scene of the show with its window of music time,
// and the show's end. The music's accents (MUSIC_CUES in CMakeLists.txt) fall
// where the scenes start; --scene NAME plays one of them alone.
#include "burst_scene.h"
#include "logo_scene.h"
#include "timeline.h"

namespace show {

void cTimeline::AddScenes() {
  Add("logo", "the logo lit by its normal map, and the title", "0:00.0", "0:06.0", std::make_unique<cLogoScene>());
  Add("burst", "sparks bursting on the beat, in a bloom glow", "0:06.0", "0:12.0", std::make_unique<cBurstScene>());
  End("0:12.0");
}

}  // namespace show
