#pragma once
// cPropertySystem: reads the production's property file ("data/default.qelProperty")
// into six tables of named records and tells the resource registry which file holds
// each asset. Loaded once by the registry at the start of its asset loading, read-only
// afterwards; main thread only.
//
// The text format: lines of at most 127 characters; blank runs outside double quotes
// become ":"; the text before the first ":" is the key, matched case-insensitively
// against the 25-entry keyword table; blocks (COLOR, ROTATION, POSITION, SCALE, FILE,
// TIME) open with their keyword and close with "}". Unbalanced braces end the process
// with status 252, a VERSION other than 1 with 251, a FindFile miss with 2.
//
// Not done here: nothing evaluates properties over time; relative time names are kept
// as written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace VantorGL {

// One entry of a reader's vocabulary. `open` is the header-seen flag for the header
// keyword and the block-open flag for block keywords; other entries keep it false.
struct PropertyKeyword {
  int32_t id = 0;  // its position in the table
  std::string text;
  bool open = false;
};

struct ColorProperty {
  std::string name;
  std::string description;
  int32_t id = 0;
  float red = 0, green = 0, blue = 0;
  float alpha = 0;
};

struct PositionProperty {
  std::string name;
  std::string description;
  int32_t id = 0;
  float x = 0, y = 0, z = 0;  // after loading: plus the positions it is relative to
  std::string relativeName;
};

struct RotationProperty {
  std::string name;
  std::string description;
  int32_t id = 0;
  float x = 0, y = 0, z = 0;
  float angle = 0;
  float speed = 0;
};

struct ScaleProperty {
  std::string name;
  std::string description;
  int32_t id = 0;
  float x = 0, y = 0, z = 0;
};

struct FileProperty {
  std::string name;
  std::string description;
  int32_t id = 0;
  std::string fileName;  // the asset's path as the registry opens it
  float rescale = 0;
};

struct TimeProperty {
  std::string name;
  std::string description;
  int32_t id = 0;
  int32_t time = 0;
  std::string relativeTimeName;  // stored, never resolved
};

// Formatted extraction of a number from the start of `text`, as a stream would do it:
// leading white space skipped, an optional sign, then as much as can continue the
// number ("0.5:# half" reads 0.5). False, with `out` untouched, when no number starts
// there or it does not fit the type. Shared by the property and ASE readers.
bool ReadLeadingNumber(std::string_view text, float& out);
bool ReadLeadingNumber(std::string_view text, double& out);
bool ReadLeadingNumber(std::string_view text, int32_t& out);

// Longest physical line the text readers accept (they read into 128-byte buffers).
inline constexpr size_t kMaxTextLine = 127;

// Hands each line of `text` to `onLine` in order: lines end at LF, a CR right before
// the LF is not part of the line, the last line needs no LF. Stops before a line
// longer than kMaxTextLine and returns its 1-based number; 0 when every line was read.
template <class OnLine>
size_t ForEachTextLine(std::string_view text, OnLine&& onLine) {
  size_t pos = 0, lineNumber = 0;
  while (pos < text.size()) {
    const size_t newline = text.find('\n', pos);
    std::string_view raw = text.substr(pos, newline == std::string_view::npos
                                                ? std::string_view::npos
                                                : newline - pos);
    pos = newline == std::string_view::npos ? text.size() : newline + 1;
    if (newline != std::string_view::npos && !raw.empty() && raw.back() == '\r')
      raw.remove_suffix(1);
    ++lineNumber;
    if (raw.size() > kMaxTextLine) return lineNumber;
    onLine(raw);
  }
  return 0;
}

class cPropertySystem {
 public:
  // Ids of the keyword table, in its order.
  enum Keyword : int32_t {
    kQelProperty, kColor, kRotation, kPosition, kScale, kFile, kName, kXyz, kFileName,
    kRescale, kRgb, kAlpha, kAngle, kSpeed, kRelativeXyz, kRelativeXyzOffset, kVersion,
    kDesc, kComment, kClose, kOpen, kTime, kTimeLong, kRelativeTimeName,
    kRelativeTimeOffsetLong, kKeywordCount
  };

  // What reading a text found; Load turns the last two into their exit statuses.
  enum class Status { kOk, kUnbalancedBraces, kBadVersion };
  struct Result {
    Status status = Status::kOk;
    std::string cause;  // for a failure: what went wrong, without the file name
  };

  cPropertySystem();

  // Reads the file at `path` (through ResolvePath). A file that cannot be opened is
  // logged and read as empty. Ends the process with 252 or 251 as described above.
  void Load(std::string path);

  // The whole reading over text already in memory: ReadLines, CheckBraces, Parse,
  // ResolveRelativePositions. Never ends the process; a failure stops at once and is
  // returned (the tables then hold what was read up to that point).
  Result LoadText(std::string_view text);

  // The first FILE record named exactly `name`, copied. Ends the process with status 2
  // when there is none; when Load found no file at all, the line on standard error
  // says so, and where the program looks for its data.
  FileProperty FindFile(const std::string& name) const;
  // The same without ending the process: null when absent. Points into `files`.
  const FileProperty* FindFileRecord(std::string_view name) const;

  // Reading steps, in the order LoadText runs them.
  // Splits `text` into lines (LF; a CR before the LF dropped), normalises each and
  // appends it to `lines`. A line longer than kMaxTextLine ends the reading there with
  // one log line; the lines before it are kept.
  void ReadLines(std::string_view text);
  // One raw line to its stored form: leading blanks dropped; up to the first "#" every
  // blank run outside double quotes becomes one ":" and blanks after a ":" vanish; the
  // rest of the line from "#" on is kept; every trailing ":" is removed.
  static std::string NormaliseLine(std::string_view raw);
  static void NormaliseLine(std::string_view raw, std::string& out);
  // True when "{" and "}" occur equally often over all lines (quotes and comments too).
  bool CheckBraces() const;
  Result Parse();
  void ResolveRelativePositions();

  // The keyword id of a key, matched without regard to ASCII case; -1 when none.
  int32_t MatchKeyword(std::string_view key) const;

  std::string path;  // the file last given to Load, for messages
  bool fileRead = false;  // Load found and read `path`
  bool logging = true;  // false: a reading that writes nothing to the log (a look ahead)
  int32_t keywordCounter = 0;
  std::vector<PropertyKeyword> keywords;
  std::vector<std::string> lines;
  int32_t recordCounter = -1;
  std::vector<ColorProperty> colours;
  std::vector<PositionProperty> positions;
  std::vector<RotationProperty> rotations;
  std::vector<ScaleProperty> scales;
  std::vector<FileProperty> files;
  std::vector<TimeProperty> times;

 private:
  void AddKeyword(const char* text);
};

}  // namespace VantorGL
