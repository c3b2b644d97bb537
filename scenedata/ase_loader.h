#pragma once
// cFileLoader_ASE: reads the keyframed animation out of an ASE export (the ASCII
// scene text of 3D modelling tools): the SCENE block's frame timing and, from the
// first CAMERAOBJECT on, every TM_ANIMATION block's position and rotation tracks.
// Each finished track becomes an AnimatedObject; position keys are turned from the
// exporter's Z-up (x, y, z) into Y-up (x, z, -y), rotation keys from radians into
// degrees, ticks into milliseconds.
//
// Owned by the resource registry, loaded once, then queried by name; main thread
// only. Not done here: nothing evaluates a track between its keys.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "properties/property_system.h"

namespace VantorGL {

// A name and keys of (milliseconds, three doubles), in the order they were added;
// nothing sorts them. Copied by value.
struct AnimatedObject {
  // Appends a key; when every slot is used the slots grow by 5 first.
  void AddKey(int32_t timeMs, double x, double y, double z);
  void SetName(std::string_view newName) { name = newName; }

  int32_t capacity = 10;  // key slots allocated
  int32_t count = 0;      // keys in use, never above capacity
  std::string name;
  std::vector<int32_t> keyTimes = std::vector<int32_t>(10);  // `capacity` entries
  std::vector<std::array<double, 3>> keyValues = std::vector<std::array<double, 3>>(10);
};

// The normalised lines of a file, kept back to back in one buffer (one allocation for
// the whole file rather than one per line). Lines are read as views that stay valid
// until the next change to the list.
class TextLines {
 public:
  size_t size() const { return spans.size(); }
  bool empty() const { return spans.empty(); }
  std::string_view operator[](size_t i) const {
    const Span& span = spans[i];
    const char* base = span.replaced ? replacements.data()
                                     : reinterpret_cast<const char*>(buffer.data());
    return {base + span.offset, span.length};
  }
  // Line i becomes `text`, kept aside so that the file's buffer never has to grow.
  void Replace(size_t i, std::string_view text);

  struct Span {
    size_t offset;
    uint32_t length;
    bool replaced;  // the text is in `replacements`, not in `buffer`
  };
  std::vector<uint8_t> buffer;
  std::string replacements;
  std::vector<Span> spans;
};

// Reads the number at the start of a sample's token [p, end) as ReadLeadingNumber
// reads the token's text (`out` untouched where that finds no number) and returns
// where the token ends: the next ':' or, for the last token, `end`. For T double
// and int32_t; the fuzzer holds it against ReadLeadingNumber.
template <class T>
const char* ReadAseToken(const char* p, const char* end, T& out, bool last);

class cFileLoader_ASE {
 public:
  // Ids of the keyword table, in its order.
  enum Keyword : int32_t {
    kCameraObject, kNodeName, kScene, kSceneFirstFrame, kSceneLastFrame, kSceneFrameSpeed,
    kSceneTicksPerFrame, kCameraSettings, kTmAnimation, kControlPosTrack,
    kControlPosSample, kControlRotTrack, kControlRotSample, kClose, kOpen, kKeywordCount
  };

  // Degrees per radian, applied to the first three numbers of a rotation sample.
  static constexpr double kDegreesPerRadian = 57.29577951308232;

  cFileLoader_ASE();

  // Reads the file at `path` (through ResolvePath) and parses it. A file that cannot
  // be opened is logged and yields no objects.
  void Load(const std::string& path);
  // The same over text already in memory, and over a file's bytes (which become the
  // lines' buffer). The outcome is that of ReadLines followed by Parse.
  void LoadText(std::string_view text);
  void LoadBytes(std::vector<uint8_t>&& bytes);

  // The first object named exactly `name`. Ends the process with status 2 when there
  // is none. The reference lives as long as the loader and until the next load.
  const AnimatedObject& Find(const std::string& name) const;
  // The same without ending the process: null when absent.
  const AnimatedObject* FindObject(std::string_view name) const;

  // Splits `text` into lines (LF; a CR before the LF dropped), normalises each and
  // appends it to `lines`. A line longer than kMaxTextLine ends the reading there with
  // one log line; the lines before it are kept.
  void ReadLines(std::string_view text);
  // The same over a file's bytes, which become the lines' buffer.
  void ReadLines(std::vector<uint8_t>&& bytes);
  // One raw line to its stored form: every "*" removed; blanks (space, tab) before
  // the first "*" dropped; after it each blank outside double quotes becomes ":"
  // (one ":" per blank, runs are not merged); blanks inside quotes stay; a line
  // without "*" loses all its blanks.
  static std::string NormaliseLine(std::string_view raw);
  void Parse();

  // The keyword id of a key (case-sensitive, whole key); -1 when none.
  int32_t MatchKeyword(std::string_view key) const;

  std::string currentName;
  std::string path;  // the file last given to Load, for messages
  std::vector<PropertyKeyword> keywords;
  TextLines lines;
  AnimatedObject currentObject;
  std::vector<AnimatedObject> objects;  // one per finished track, in closing order

 private:
  class LineParser;
};

}  // namespace VantorGL
