#include "scenedata/ase_loader.h"

#include <algorithm>

#include "shell/debug_system.h"
#include "shell/exit.h"
#include "shell/file_paths.h"

namespace VantorGL {

namespace {

constexpr std::string_view kSource = "cFileLoader_ASE";
constexpr std::string_view kTrackSource = "cFileLoader_ASE - Loading objects: ";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next ":"-separated token of `rest`; the last token is the whole remainder.
std::string_view NextToken(std::string_view& rest) {
  const size_t colon = rest.find(':');
  std::string_view token = rest.substr(0, colon);
  rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  return token;
}

// The scene's frame timing as read so far.
struct SceneTiming {
  int32_t value[4] = {0, 0, 0, 0};  // first frame, last frame, frames/s, ticks/frame
  bool read[4] = {false, false, false, false};
};

// Ticks to milliseconds: D = (L - F) / S seconds, N = (L - F) * T ticks, P = tick * 1000,
// ms = D / N * P truncated. Where that cannot be computed (timing not all read yet, a
// division by zero, a product beyond 32 bits) `why` says so and the key is skipped.
bool TicksToMs(const SceneTiming& timing, int32_t tick, int32_t& ms, const char*& why) {
  if (!(timing.read[0] && timing.read[1] && timing.read[2] && timing.read[3])) {
    why = "the scene timing is not complete";
    return false;
  }
  const int64_t first = timing.value[0], last = timing.value[1];
  const int64_t speed = timing.value[2], ticksPerFrame = timing.value[3];
  const int64_t span = last - first;
  const int64_t ticks = span * ticksPerFrame;
  const int64_t product = int64_t{tick} * 1000;
  auto fits = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
  if (speed == 0) {
    why = "the frame speed is 0";
  } else if (span == 0) {
    why = "the first and last frames are equal";
  } else if (ticksPerFrame == 0) {
    why = "the ticks per frame are 0";
  } else if (!fits(span) || !fits(ticks) || !fits(product)) {
    why = "the time does not fit 32 bits";
  } else {
    const double seconds = static_cast<double>(span) / static_cast<double>(speed);
    const double result =
        seconds / static_cast<double>(ticks) * static_cast<double>(product);
    if (result > -2147483649.0 && result < 2147483648.0) {
      ms = static_cast<int32_t>(result);
      return true;
    }
    why = "the time does not fit 32 bits";
  }
  return false;
}

}  // namespace

void AnimatedObject::AddKey(int32_t timeMs, double x, double y, double z) {
  if (count == capacity) {
    capacity += 5;
    // The slots grow by 5 as the format's owner defined, but the storage beneath them
    // grows geometrically so that long tracks do not cost quadratic copying.
    if (keyTimes.capacity() < static_cast<size_t>(capacity)) {
      keyTimes.reserve(keyTimes.capacity() * 2);
      keyValues.reserve(keyValues.capacity() * 2);
    }
    keyTimes.resize(capacity);
    keyValues.resize(capacity);
  }
  keyTimes[count] = timeMs;
  keyValues[count] = {x, y, z};
  ++count;
}

cFileLoader_ASE::cFileLoader_ASE() {
  int32_t id = 0;
  for (const char* text :
       {"CAMERAOBJECT", "NODE_NAME", "SCENE", "SCENE_FIRSTFRAME", "SCENE_LASTFRAME",
        "SCENE_FRAMESPEED", "SCENE_TICKSPERFRAME", "CAMERA_SETTINGS", "TM_ANIMATION",
        "CONTROL_POS_TRACK", "CONTROL_POS_SAMPLE", "CONTROL_ROT_TRACK",
        "CONTROL_ROT_SAMPLE", "}", "{"})
    keywords.push_back(PropertyKeyword{id++, text, false});
}

int32_t cFileLoader_ASE::MatchKeyword(std::string_view key) const {
  for (const PropertyKeyword& keyword : keywords)
    if (keyword.text == key) return keyword.id;
  return -1;
}

void cFileLoader_ASE::Load(const std::string& filePath) {
  path = filePath;
  const auto bytes = ReadFileBytes(path);
  if (!bytes) {
    cDebugSystem::Instance().Log(kSource, "cannot open " + path + ", no objects read");
    return;
  }
  LoadText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

void cFileLoader_ASE::LoadText(std::string_view text) {
  ReadLines(text);
  Parse();
}

void cFileLoader_ASE::ReadLines(std::string_view text) {
  const size_t tooLong = ForEachTextLine(text, [this](std::string_view raw) {
    lines.emplace_back();
    NormaliseLine(raw, lines.back());
  });
  if (tooLong)
    cDebugSystem::Instance().Log(kSource, "line " + std::to_string(tooLong) +
                                              " is longer than 127 characters; reading stops there");
}

std::string cFileLoader_ASE::NormaliseLine(std::string_view raw) {
  std::string out;
  NormaliseLine(raw, out);
  return out;
}

void cFileLoader_ASE::NormaliseLine(std::string_view raw, std::string& out) {
  out.clear();
  out.reserve(raw.size());
  bool started = false, inQuotes = false;
  for (const char c : raw) {
    if (c == '*') {
      started = true;
    } else if (c == '"') {
      // Quotes pair up over the whole line, also those before the first "*" and
      // around a "*" inside a quoted name.
      inQuotes = !inQuotes;
      out.push_back(c);
    } else if (IsBlank(c)) {
      if (started) out.push_back(inQuotes ? c : ':');
    } else {
      out.push_back(c);
    }
  }
}

void cFileLoader_ASE::Parse() {
  SceneTiming timing;
  // The numbers of the latest sample; one that does not read keeps its last value.
  int32_t tick = 0;
  double a = 0, b = 0, c = 0, d = 0;

  bool& sceneOpen = keywords[kScene].open;
  bool& cameraOpen = keywords[kCameraObject].open;
  bool& animationOpen = keywords[kTmAnimation].open;
  bool& positionTrack = keywords[kControlPosTrack].open;
  bool& rotationTrack = keywords[kControlRotTrack].open;

  for (size_t index = 0; index < lines.size(); ++index) {
    const std::string_view line = lines[index];
    const size_t colon = line.find(':');
    const std::string_view key = line.substr(0, colon);
    const std::string_view value =
        colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    int32_t id = MatchKeyword(key);
    if (id < 0) continue;  // no flag and no action depends on an unknown key

    if (id == kScene) sceneOpen = true;
    if (id == kCameraObject) cameraOpen = true;

    if (sceneOpen) {
      if (id >= kSceneFirstFrame && id <= kSceneTicksPerFrame) {
        const int slot = id - kSceneFirstFrame;
        if (ReadLeadingNumber(value, timing.value[slot])) timing.read[slot] = true;
      } else if (id == kClose) {
        sceneOpen = false;
      }
    }

    if (!cameraOpen) continue;
    if (id == kTmAnimation) animationOpen = true;
    if (!animationOpen) continue;

    bool checked = false;
    auto addSample = [&](bool rotation) {
      std::string_view rest = value;
      ReadLeadingNumber(NextToken(rest), tick);
      ReadLeadingNumber(NextToken(rest), a);
      ReadLeadingNumber(NextToken(rest), b);
      if (rotation) {
        ReadLeadingNumber(NextToken(rest), c);
        ReadLeadingNumber(rest, d);  // the angle: read, not stored
      } else {
        ReadLeadingNumber(rest, c);
      }
      currentObject.SetName(currentName);
      int32_t ms = 0;
      const char* why = "";
      if (!TicksToMs(timing, tick, ms, why)) {
        cDebugSystem::Instance().Log(
            kSource, "line " + std::to_string(index + 1) + ": sample skipped, " + why);
        return;
      }
      if (rotation)
        currentObject.AddKey(ms, a * kDegreesPerRadian, b * kDegreesPerRadian,
                             c * kDegreesPerRadian);
      else
        currentObject.AddKey(ms, a, c, -b);  // Z-up (x, y, z) to Y-up (x, z, -y)
    };
    auto finishTrack = [&](bool& trackOpen) {
      trackOpen = false;
      cDebugSystem::Instance().Log(kTrackSource, currentName);
      objects.push_back(currentObject);
      id = -1;
      checked = true;
    };

    switch (id) {
      case kNodeName:
        currentName = value.size() < 2 ? std::string()
                                       : std::string(value.substr(1, value.size() - 2));
        break;
      case kControlPosTrack:
        currentObject = AnimatedObject();
        positionTrack = true;
        break;
      case kControlRotTrack:
        currentObject = AnimatedObject();
        rotationTrack = true;
        currentName += ".Rotation";
        break;
      default:
        break;
    }
    if (positionTrack) {
      if (id == kControlPosSample) addSample(false);
      if (id == kClose) finishTrack(positionTrack);
    }
    if (rotationTrack) {
      if (id == kControlRotSample) addSample(true);
      if (id == kClose) finishTrack(rotationTrack);
    }
    if (id == kClose) {  // a brace that no track took ends the animation block
      animationOpen = false;
      checked = true;
    }
    if (checked) lines[index].replace(0, 1, "checked");
  }
}

const AnimatedObject* cFileLoader_ASE::FindObject(std::string_view name) const {
  for (const AnimatedObject& object : objects)
    if (object.name == name) return &object;
  return nullptr;
}

const AnimatedObject& cFileLoader_ASE::Find(const std::string& name) const {
  if (const AnimatedObject* object = FindObject(name)) return *object;
  ExitProgram(2, (path.empty() ? std::string("ASE file") : path) +
                     ": no animated object named \"" + name + "\"");
}

}  // namespace VantorGL
