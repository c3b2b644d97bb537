#pragma once
// IShow: what the makers' programs (capture and preview) need of a show, and
// CreateShow, the one function each show defines for them. The show's player
// never sees this; the programs make the show through CreateShow, run its
// application on their own window system and clock (platform/), and ask it:
//   - its name and the scenes a maker may play alone (--scene NAME), each with
//     its window of music time; the first is the whole show and the default;
//   - after the application's initialisation, to play only the chosen scene;
//   - whether a frame's picture is known to be the last drawn one again (such a
//     frame may be left undrawn; a show that cannot tell says it changed), and
//     to forget what its scenes keep of their last picture;
//   - to stand its own state at frame k without playing the frames before it
//     (a seek; the program stands the clock, makers/show_frames.h);
//   - its music (the preview's clock, the capture's sound track);
//   - the assets that may be loaded again while it runs, and to load one.
// ShowOf<Base> gives a show's own application class the part every show shares:
// the hook after its initialisation and the frame a program may leave undrawn. A show writes the rest: see
// shows/tessaly/tessaly_show.h and shows/template/ for two.
// Main thread; the GL context current wherever GL is involved.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/audio_library.h"
#include "shell/windows_system.h"

namespace VantorGL {

namespace platform {
class IWindowSystem;
}
class cSyncSystem;

// A part of the show a maker may play alone.
struct ShowScene {
  std::string name;         // on the command line: --scene NAME
  std::string description;  // for --help, before the window: "the production"
  int32_t startMs = 0;      // its window, in music time
  int32_t endMs = 0;
};

// What the programs' --help says of a show's assets and of its Where(); the
// defaults fit a show of pictures and models.
struct ShowWords {
  std::string changed = "picture, model or geometry stage";  // "see a changed ... at once"
  std::string files = "a picture, a 3DS model, Data/Shaders/test.geom";  // the files followed
  std::string where = "where the show stands";  // what Where() tells
};

// A file the preview follows while the show runs.
struct ReloadableAsset {
  std::string name;  // what ReloadAsset takes
  std::string file;  // as the show names it, relative to the working directory
};

class IShow {
 public:
  virtual ~IShow() = default;

  // The show's name: its programs are NAME, NAME-capture and NAME-preview; its
  // installed data is share/games/NAME (shell/show_data.h).
  virtual std::string Name() const = 0;
  // The show's property file, relative to its data folder: where it is, the
  // show's data is (shell/show_data.h).
  virtual std::string PropertyFile() const = 0;
  // What --scene offers; the first is the whole show as the player plays it.
  // The windows are the scene objects' own, as the show's running order sets
  // them: the same before loading and after ChooseScene.
  virtual std::vector<ShowScene> Scenes() const = 0;

  // The application whose frame loop plays the show.
  virtual cWindowsSystem& Application() = 0;
  // The player's own settings (title, size, full screen, samples); a program
  // then changes what it needs, such as the size.
  virtual void ApplyPlayerSettings() = 0;

  // Once, after the application's initialisation and before its first frame:
  // from now on play only Scenes()[index] over its window (0: the whole show).
  virtual void ChooseScene(size_t index) = 0;
  // After ChooseScene: the show goes on past the end of its window instead of
  // ending the program (the preview holds the last frame there itself).
  virtual void RunPastTheEnd() = 0;

  // Stands the show's own state where making frames 0 .. frame - 1 at `fps`
  // on the virtual clock leaves it, without making them: every scene's clock
  // and state; what the scenes keep of their last picture is forgotten,
  // whatever was played before is undone. The program has stood cTimer and
  // its clock source there already (capture::StandTimerAt in
  // makers/show_frames.h). After ChooseScene only.
  virtual void StandAt(int64_t frame, int fps) = 0;

  // Between Update and Draw: true when this frame's picture is known to equal
  // the one the last drawn frame left in the back buffer.
  virtual bool PictureUnchanged() { return false; }
  // The next frame is drawn afresh, whatever the scenes keep of the last one.
  virtual void ForgetPicture() {}

  // The music as the show plays it: its stream (0 before loading, or when it
  // has none) and its file, relative to the working directory ("" for none).
  virtual audio::Handle MusicStream() const = 0;
  virtual std::string MusicFile() const = 0;

  // The files the preview follows, and loading one again. The asset changes
  // only when its file loads completely; otherwise it stays as it was and
  // `error` says why.
  virtual std::vector<ReloadableAsset> ReloadableAssets() const { return {}; }
  virtual bool ReloadAsset(const std::string& name, std::string* error);

  // The show's sync tracks, which the preview links to a sync editor
  // (--sync); nullptr for a show without any.
  virtual cSyncSystem* Sync() { return nullptr; }

  // A few words on where the show stands, for the preview's line ("slide 12").
  virtual std::string Where() const { return {}; }
  // What the programs' --help says of this show.
  virtual ShowWords Words() const { return {}; }

  // Set by the program: called right after the application's initialisation,
  // before its first frame (where the program calls ChooseScene).
  std::function<void()> afterInitialise;
  // Set by the program before each frame: whether a frame whose picture is
  // known unchanged may be left undrawn (default: every frame is drawn).
  bool reuseUnchanged = false;
  // After each Draw: whether the frame was drawn; when not, the back buffer
  // holds nothing of it and the last drawn picture stands for it.
  bool drawn = false;
};

// The part every show's application shares when a program plays it: the hook
// after its initialisation, and a frame whose picture is known unchanged left
// undrawn when the program allows it. `Base` is the show's own application class
// (a cWindowsSystem made on a window system); nothing in it knows it is played here.
template <class Base>
class ShowOf : public Base, public IShow {
 public:
  // `windowSystem` is not owned and must outlive the show.
  explicit ShowOf(platform::IWindowSystem* windowSystem) : Base(windowSystem) {}

  cWindowsSystem& Application() override { return *this; }

  bool Initialise() override {
    const bool result = Base::Initialise();
    if (afterInitialise) afterInitialise();
    return result;
  }

  bool Draw() override {
    if (reuseUnchanged && PictureUnchanged()) {
      drawn = false;
      // What the application's Draw answers: drawing changes nothing the end depends on.
      return !this->IsFinished();
    }
    drawn = true;
    return Base::Draw();
  }
};

// Defined once by every show, for its capture and preview programs: the show,
// made on `windowSystem` (not owned; it outlives the show).
std::unique_ptr<IShow> CreateShow(platform::IWindowSystem* windowSystem);

}  // namespace VantorGL
