#include "makers/preview_session.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "makers/preview_clock.h"
#include "makers/preview_overlay.h"
#include "makers/preview_reload.h"
#include "makers/show_frames.h"
#include "makers/sync_connection.h"
#include "makers/sync_export.h"
#include "platform/clock.h"
#include "platform/live_window_system.h"
#include "shaders/shader_system.h"
#include "shell/debug_system.h"
#include "shell/show_data.h"
#include "shell/timer.h"
#include "sync/sync_system.h"

namespace VantorGL::preview {
namespace {

std::string g_program = "preview";  // the show's preview program, for messages and its title
constexpr int kPausedWaitMs = 15;  // while paused, frames wait this long for a key

void Say(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", g_program.c_str(), text.c_str());
  cDebugSystem::Instance().Log("preview", text);
}

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

class Session {
 public:
  // `show` was made on `windowSystem` (CreateShow); both are the caller's.
  Session(const Options& options, IShow& show, platform::LiveWindowSystem& windowSystem)
      : options_(options), grid_(GridOf(options)), windowSystem_(windowSystem), show_(show) {}
  int Run();

 private:
  void OnShowStart();
  bool OnKey(const Message& message);
  void BeforeFrame();
  void BeforeSwap();
  void Seek(int64_t frame, bool play);
  void SeekBy(int64_t deltaUs);
  void Step(int direction);
  void TogglePause();
  void ReloadChanged();
  void RebuildEffects(const std::string& file);
  void ShowBuildError(const std::string& effect, const std::string& error);
  std::string MusicTime(int64_t showUs) const { return FormatMusicTimeUs(grid_.originMs * 1000LL + showUs); }
  std::string OverlayLine() const;
  // The sync editor (--sync): its messages before the frame, the row after it.
  void StartSync();
  void FollowEditor();
  void TellEditorTheRow();

  Options options_;
  FrameGrid grid_;
  platform::LiveWindowSystem& windowSystem_;
  IShow& show_;
  MusicClock clock_;
  AssetWatch assets_;
  Overlay overlay_;
  bool watching_ = false;
  bool standing_ = false;
  int64_t virtualCounter_ = 0;  // the counter while the show is stood at a frame
  bool loopStarted_ = false;
  bool shift_ = false;
  std::optional<int64_t> parkedFrame_;  // held on this frame of the grid
  bool atEnd_ = false;
  int32_t frameShowMs_ = 0;  // show time the frame being made shows

  struct SeekReport {
    std::string where;
    double standMs = 0;
    Clock::time_point start;
    int swaps = 0;
  };
  std::optional<SeekReport> seekReport_;

  std::unique_ptr<sync::SyncConnection> editor_;
  std::optional<uint32_t> rowTold_;  // the row the editor's cursor stands on, as far as the preview knows
  bool editorPlaced_ = false;        // this frame's row came from the editor
  int linksSeen_ = 0;
};

void Session::OnShowStart() {
  // The preview holds the scene's last frame at its end; the show itself must not end.
  show_.RunPastTheEnd();
  clock_.Start(show_.MusicStream(), grid_.originMs);
  std::string error;
  std::vector<ReloadableAsset> followed = show_.ReloadableAssets();
  const std::vector<ReloadableAsset> sources = EffectSources(followed);
  followed.insert(followed.end(), sources.begin(), sources.end());
  watching_ = assets_.Start(followed, &error);
  for (const cShaderSystem* effect : cShaderSystem::Effects())
    if (!effect->buildError().empty()) ShowBuildError(effect->className(), effect->buildError());
  if (!watching_) Say("changed files will not be loaded again: " + error);
  for (const std::string& problem : assets_.unwatched())
    Say(problem + "; changed files there are loaded again once it can be watched");
  if (clock_.deviceless()) Say("no sound device: the show follows the performance counter, in silence");

  const capture::SceneWindow window = capture::WindowOf(options_);
  Say(std::string("the ") + capture::SceneName(options_) + " from " + capture::FormatMusicTime(window.startMs) +
      " to " + capture::FormatMusicTime(window.endMs) + " in a " + std::to_string(options_.width) + "x" +
      std::to_string(options_.height) + " window; seeks land on its frames at " + std::to_string(grid_.fps) +
      " fps. Space pauses, Left/Right seek, Tab shows the clock, Escape quits");
  Seek(StartFrame(options_), !options_.paused);
  if (options_.sync) StartSync();
}

void Session::StartSync() {
  cSyncSystem* tracks = show_.Sync();
  if (!tracks) {
    Say("--sync: this show has no sync tracks; playing without the editor");
    return;
  }
  editor_ = std::make_unique<sync::SyncConnection>(*options_.sync, *tracks, [](const std::string& line) { Say(line); });
}

void Session::FollowEditor() {
  std::vector<sync::Message> messages;
  bool keysChanged = false;
  editor_->Poll(Clock::now(), messages, keysChanged);
  if (keysChanged) show_.ForgetPicture();
  for (const sync::Message& m : messages) {
    switch (m.command) {
      case sync::Command::kSetRow: {
        const double musicMs = show_.Sync()->tempo.MsAtRow(m.row);
        const auto showUs = static_cast<int64_t>(std::llround((musicMs - grid_.originMs) * 1000.0));
        Seek(grid_.FrameAtOrAfter(showUs), clock_.playing());
        rowTold_ = m.row;
        editorPlaced_ = true;
        break;
      }
      case sync::Command::kPause:
        if (m.paused == clock_.playing()) TogglePause();
        break;
      case sync::Command::kSaveTracks: {
        bool ok = false;
        Say(sync::ExportTracks(*show_.Sync(), sync::RecordedSourceFolders(), ok));
        break;
      }
      default:
        break;
    }
  }
}

// The row the frame just made shows, when it is not the one the editor stands on.
void Session::TellEditorTheRow() {
  const double row = show_.Sync()->tempo.RowAt(grid_.originMs + cTimer::Instance().sinceStartMs);
  const uint32_t shown = row > 0 ? static_cast<uint32_t>(row) : 0;
  if (editor_->links() != linksSeen_) rowTold_.reset(), linksSeen_ = editor_->links();  // a new editor
  if (std::exchange(editorPlaced_, false)) rowTold_ = shown;  // the editor's own row, landed on the grid
  if (rowTold_ == shown || !editor_->connected()) return;
  editor_->SendRow(shown);
  rowTold_ = shown;
}

void Session::Seek(int64_t frame, bool play) {
  frame = grid_.Clamp(frame);
  const Clock::time_point start = Clock::now();
  clock_.Pause();  // silence while the state is set
  standing_ = true;
  capture::StandTimerAt(frame, grid_.fps, [this](int64_t counter) { virtualCounter_ = counter; });
  show_.StandAt(frame, grid_.fps);
  standing_ = false;
  const double standMs = MsSince(start);
  clock_.Place(grid_.ShowUs(frame), play);
  parkedFrame_ = play ? std::nullopt : std::optional<int64_t>(frame);
  atEnd_ = false;
  seekReport_ = SeekReport{MusicTime(grid_.ShowUs(frame)) + " (frame " + std::to_string(frame) + ")" +
                               (play ? ", playing" : ", held"),
                           standMs, start, 0};
}

void Session::SeekBy(int64_t deltaUs) {
  const int64_t target = std::max<int64_t>(0, clock_.HeldUs() + deltaUs);
  Seek(grid_.FrameAtOrAfter(target), clock_.playing());
}

void Session::Step(int direction) {
  if (clock_.playing()) return;
  int64_t frame;
  if (parkedFrame_) frame = *parkedFrame_ + direction;
  else if (direction > 0) frame = grid_.FrameAtOrBefore(clock_.HeldUs()) + 1;
  else frame = grid_.FrameAtOrAfter(clock_.HeldUs()) - 1;
  Seek(frame, false);
}

void Session::TogglePause() {
  if (atEnd_) {
    Seek(0, true);
    return;
  }
  parkedFrame_.reset();
  if (clock_.playing()) {
    clock_.Pause();
    Say("paused at " + MusicTime(clock_.HeldUs()));
  } else {
    const int64_t held = clock_.HeldUs();
    clock_.Resume();
    Say("playing from " + MusicTime(held));
  }
}

bool Session::OnKey(const Message& message) {
  const bool down = message.message == WM_KEYDOWN;
  switch (message.wParam) {
    case VK_SHIFT:
      shift_ = down;
      return false;
    case VK_SPACE:
      if (down) TogglePause();
      return true;
    case VK_LEFT:
    case VK_RIGHT:
      if (down) SeekBy((message.wParam == VK_LEFT ? -1 : 1) * (shift_ ? 10 : 1) * capture::kCounterFrequency);
      return true;
    case VK_HOME:
      if (down) Seek(0, clock_.playing());
      return true;
    case VK_OEM_4:
    case VK_OEM_6:
      if (down) Step(message.wParam == VK_OEM_4 ? -1 : 1);
      return true;
    case VK_TAB:
      if (down) overlay_.visible = !overlay_.visible;
      return true;
    default:
      return false;  // Escape and F1 are the production's own
  }
}

void Session::ShowBuildError(const std::string& effect, const std::string& error) {
  Say(effect + " keeps the program built before, until its sources build:");
  for (size_t start = 0; start < error.size();) {
    const size_t end = std::min(error.find('\n', start), error.size());
    Say("  " + error.substr(start, end - start));
    start = end + 1;
  }
  overlay_.SetProblem(effect, error);
}

void Session::RebuildEffects(const std::string& file) {
  for (const Rebuilt& effect : RebuildEffectsReading(file)) {
    if (!effect.error.empty()) {
      ShowBuildError(effect.effect, effect.error);
      continue;
    }
    overlay_.ClearProblem(effect.effect);
    show_.ForgetPicture();
    Say("rebuilt " + effect.effect + " from " + file + "; still at " + MusicTime(clock_.HeldUs()));
  }
}

void Session::ReloadChanged() {
  for (const AssetWatch::Due& due : assets_.TakeDue(Clock::now())) {
    if (due.name.rfind(kEffectSource, 0) == 0) {
      RebuildEffects(due.file);
      continue;
    }
    const Clock::time_point start = Clock::now();
    std::string error;
    const bool loaded = show_.ReloadAsset(due.name, &error);
    if (!loaded) {
      Say(due.name + ": " + due.file + " " + error + "; the version loaded before stays in use");
      continue;
    }
    // A scene may keep its picture while what it shows stays; a new version of
    // an asset must show on the next frame.
    show_.ForgetPicture();
    // From the file's last write where the file system says; else from when the change was read.
    namespace fs = std::filesystem;
    std::error_code ec;
    double sinceChangeMs = MsSince(due.firstSeen);
    const fs::file_time_type written = fs::last_write_time(due.file, ec);
    if (!ec) {
      const double ms = std::chrono::duration<double, std::milli>(fs::file_time_type::clock::now() - written).count();
      if (ms >= 0 && ms < 60000) sinceChangeMs = ms;
    }
    Say("reloaded " + due.name + " from " + due.file + " " + Ms(sinceChangeMs) + " after it changed (loading took " +
        Ms(MsSince(start)) + "); still at " + MusicTime(clock_.HeldUs()));
  }
}

void Session::BeforeFrame() {
  loopStarted_ = true;
  if (seekReport_ && seekReport_->swaps > 0) {
    Say("seek to " + seekReport_->where + ": show stood there in " + Ms(seekReport_->standMs) + ", on screen after " +
        Ms(MsSince(seekReport_->start)));
    seekReport_.reset();
  }
  if (watching_) ReloadChanged();
  if (editor_) FollowEditor();
  const int64_t endUs = (static_cast<int64_t>(capture::WindowOf(options_).endMs) - grid_.originMs) * 1000;
  if (clock_.playing() && clock_.Peek() >= endUs) {
    Seek(grid_.endFrame - 1, false);
    atEnd_ = true;
    Say("the end of the " + capture::SceneName(options_) + " at " + MusicTime(endUs) +
        ": holding its last frame; Space plays it again");
  }
  if (!clock_.playing() && !seekReport_) windowSystem_.WaitForEvent(kPausedWaitMs);
  frameShowMs_ = cTimer::Instance().sinceStartMs;
}

std::string Session::OverlayLine() const {
  char line[192];
  const std::string where = show_.Where();
  std::string offset = "--";
  if (const auto ms = clock_.lastOffsetMs()) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f", *ms);
    offset = text;
  }
  std::snprintf(line, sizeof line, "%s  %5.1f fps  %s  offset %s ms%s",
                capture::FormatMusicTime(grid_.originMs + frameShowMs_).c_str(), overlay_.FramesPerSecond(),
                where.c_str(), offset.c_str(), clock_.playing() ? "" : "  paused");
  return editor_ ? line + ("  " + editor_->Status()) : std::string(line);
}

void Session::BeforeSwap() {
  overlay_.CountFrame();
  if (seekReport_) ++seekReport_->swaps;
  if (editor_) TellEditorTheRow();
  clock_.SettleOffsets();
  if (overlay_.visible || overlay_.HasProblems())
    overlay_.Draw(overlay_.visible ? OverlayLine() : "", show_.Application().width, show_.Application().height);
}

int Session::Run() {
  // The show's clock: the music as the device plays it; while a seek stands
  // the show at a frame, the capture's frame steps.
  platform::SetClockSource([this] { return standing_ ? virtualCounter_ : clock_.Read(); },
                           capture::kCounterFrequency);
  OpenShowLog();

  cWindowsSystem& application = show_.Application();
  show_.ApplyPlayerSettings();
  application.fullscreen = false;
  application.width = options_.width;
  application.height = options_.height;
  application.title = g_program.c_str();  // lives as long as the program
  show_.afterInitialise = [this] {
    show_.ChooseScene(options_.scene);
    OnShowStart();
  };
  g_application = &application;
  windowSystem_.keyFilter = [this](const Message& m) { return OnKey(m); };
  windowSystem_.beforeFrame = [this] { BeforeFrame(); };
  windowSystem_.beforeSwap = [this] { BeforeSwap(); };

  RunApplication(application);
  windowSystem_.keyFilter = nullptr;
  windowSystem_.beforeFrame = nullptr;
  windowSystem_.beforeSwap = nullptr;

  if (!loopStarted_) {
    Say("the show could not be started: no window with a GL context could be made (check DISPLAY)");
    platform::ResetClockSource();
    return kExitFailed;
  }
  const MusicClock::OffsetStats& s = clock_.offsets();
  if (s.count > 0) {
    // The extremes come from callbacks the loaded machine ran late, the central
    // share from how well the clock follows the device.
    char text[320];
    std::snprintf(text, sizeof text,
                  "the clock against the music over %lld frames of play: offset %+.1f to %+.1f ms, "
                  "98 %% of them %+.1f to %+.1f ms, mean %+.2f ms; "
                  "the sound device (%s) took %.0f frames a second for the music's %d",
                  static_cast<long long>(s.count), s.minMs, s.maxMs, s.Quantile(0.01), s.Quantile(0.99),
                  s.sumMs / static_cast<double>(s.count), audio::DriverName().c_str(), audio::DevicePace(),
                  audio::MixRate());
    Say(text);
  }
  platform::ResetClockSource();
  return 0;
}

}  // namespace

int RunPreview(const Options& options, IShow& show, platform::LiveWindowSystem& windowSystem) {
  g_program = show.Name() + "-preview";
  Session session(options, show, windowSystem);
  return session.Run();
}

}  // namespace VantorGL::preview
