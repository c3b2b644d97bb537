#include "scenedata/ase_loader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "shell/debug_system.h"
#include "shell/exit.h"
#include "shell/file_paths.h"

namespace VantorGL {

namespace {

constexpr std::string_view kSource = "cFileLoader_ASE";
constexpr std::string_view kTrackSource = "cFileLoader_ASE - Loading objects: ";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

// The high bit of each byte of `word` that equals `c`, and no other bit.
inline uint64_t BytesEqual(uint64_t word, char c) {
  const uint64_t y = word ^ (kEveryByte * static_cast<uint8_t>(c));
  return ~(((y & kLow7) + kLow7) | y | kLow7);
}

// One physical line, normalised where it stands in the buffer.
struct ScannedLine {
  char* text;        // the stored text is [text, textEnd)
  char* textEnd;
  size_t rawLength;  // characters of the physical line; a CR before its LF not counted
  char* next;        // where the following line starts
};

// Normalises the line that starts at `begin` (and ends at the next LF or at `limit`)
// in place. The text never outgrows the raw line, so the output can overwrite the
// input as the scan goes.
ScannedLine NormaliseNextLine(char* begin, char* limit) {
  char* p = begin;
  while (p < limit && IsBlank(*p)) ++p;  // blanks before the first '*' always go
  char* text = begin;
  char* out = begin;
  bool started = false, inQuotes = false;
  if (p < limit && *p == '*') {
    // The usual export line: a '*', a keyword, values. Until another '*', a quote or
    // the line's end turns up, blanks become ':' eight bytes at a time and nothing moves.
    started = true;
    text = ++p;
#if defined(__SSE2__)
    const __m128i star = _mm_set1_epi8('*'), quote = _mm_set1_epi8('"'), cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n'), space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    const __m128i colon = _mm_set1_epi8(':');
    while (limit - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const unsigned stop = unsigned(_mm_movemask_epi8(_mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(v, star), _mm_cmpeq_epi8(v, quote)), _mm_cmpeq_epi8(v, cr))));
      const unsigned newline = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
      const __m128i blanks = _mm_or_si128(_mm_cmpeq_epi8(v, space), _mm_cmpeq_epi8(v, tab));
      if (newline) {
        // Only the bytes before the LF belong to this line. They are changed one by
        // one: a 16-byte store reaching into the next line would stall that line's
        // first load.
        const int length = std::countr_zero(newline);
        if (stop & ((1u << length) - 1)) break;
        for (unsigned m = unsigned(_mm_movemask_epi8(blanks)) & ((1u << length) - 1); m; m &= m - 1)
          p[std::countr_zero(m)] = ':';
        p += length;
        return {text, p, size_t(p - begin), p + 1};
      }
      if (stop) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                       _mm_or_si128(_mm_andnot_si128(blanks, v), _mm_and_si128(blanks, colon)));
      p += 16;
    }
#endif
    while (limit - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      uint64_t stop = BytesEqual(word, '*') | BytesEqual(word, '"') | BytesEqual(word, '\r');
      const uint64_t newline = BytesEqual(word, '\n');
      uint64_t keep = ~uint64_t{0};  // the bytes of this word that belong to the line
      size_t length = 8;
      if (newline) {
        if constexpr (std::endian::native != std::endian::little) break;
        length = size_t(std::countr_zero(newline)) / 8;  // bytes before the first LF
        keep = length ? ~uint64_t{0} >> (64 - 8 * length) : 0;
        stop &= keep;
      }
      if (stop) break;
      const uint64_t blanks = (BytesEqual(word, ' ') | BytesEqual(word, '\t')) & keep;
      if (blanks) {
        const uint64_t mask = (blanks >> 7) * 0xFF;
        word = (word & ~mask) | (kEveryByte * static_cast<uint8_t>(':') & mask);
        std::memcpy(p, &word, 8);
      }
      p += length;
      if (newline) return {text, p, size_t(p - begin), p + 1};
    }
    out = p;
  }
  bool lastWasCr = false;
  for (; p < limit; ++p) {
    const char c = *p;
    if (c == '\n') break;
    lastWasCr = c == '\r';
    if (c == '*') {
      started = true;
      continue;
    }
    if (c == '"') {
      // Quotes pair up over the whole line, also those before the first '*' and
      // around a '*' inside a quoted name.
      inQuotes = !inQuotes;
    } else if (IsBlank(c)) {
      if (!started) continue;
      if (!inQuotes) {
        *out++ = ':';
        continue;
      }
    }
    *out++ = c;
  }
  ScannedLine line{text, out, size_t(p - begin), p < limit ? p + 1 : limit};
  if (p < limit && lastWasCr) {  // a CR before the LF is not part of the line; it was
    --line.textEnd;              // copied last, so it is the text's last character
    --line.rawLength;
  }
  return line;
}

const char* FindColon(const char* p, const char* end) {
#if defined(__SSE2__)
  // A keyword's colon mostly lies within the first sixteen bytes.
  if (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned colons = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(':'))));
    if (colons) return p + std::countr_zero(colons);
    p += 16;
  }
#endif
  const void* colon = p < end ? std::memchr(p, ':', size_t(end - p)) : nullptr;
  return colon ? static_cast<const char*>(colon) : end;
}

// The scene's frame timing as read so far, and what a tick is worth in it.
struct SceneTiming {
  int32_t value[4] = {0, 0, 0, 0};  // first frame, last frame, frames/s, ticks/frame
  bool read[4] = {false, false, false, false};
  // D / N of the conversion below, or why there is none.
  double secondsPerTick = 0;
  const char* unusable = "the scene timing is not complete";

  void Set(int slot, int32_t v) {
    value[slot] = v;
    read[slot] = true;
    if (!(read[0] && read[1] && read[2] && read[3])) return;
    const int64_t span = int64_t{value[1]} - value[0];
    const int64_t ticks = span * value[3];
    unusable = nullptr;
    if (value[2] == 0)
      unusable = "the frame speed is 0";
    else if (span == 0)
      unusable = "the first and last frames are equal";
    else if (value[3] == 0)
      unusable = "the ticks per frame are 0";
    else if (span < INT32_MIN || span > INT32_MAX || ticks < INT32_MIN || ticks > INT32_MAX)
      unusable = "the time does not fit 32 bits";
    else
      secondsPerTick = static_cast<double>(span) / static_cast<double>(value[2]) /
                       static_cast<double>(ticks);
  }

  // Ticks to milliseconds: D = (L - F) / S seconds, N = (L - F) * T ticks,
  // P = tick * 1000, ms = D / N * P truncated. Where that cannot be computed (timing
  // not all read yet, a division by zero, a product beyond 32 bits) `why` says so.
  bool ToMs(int32_t tick, int32_t& ms, const char*& why) const {
    if (unusable) {
      why = unusable;
      return false;
    }
    const int64_t product = int64_t{tick} * 1000;
    const double result = secondsPerTick * static_cast<double>(product);
    if (product < INT32_MIN || product > INT32_MAX || !(result > -2147483649.0) ||
        !(result < 2147483648.0)) {
      why = "the time does not fit 32 bits";
      return false;
    }
    ms = static_cast<int32_t>(result);
    return true;
  }
};

// Eight bytes as one word.
inline uint64_t Load8(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

// a == b, eight bytes at a time for the short texts of keywords and names.
inline bool SameText(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8) return a == b;
  for (size_t i = 0;; i += 8) {
    const size_t at = std::min(i, n - 8);  // the last word may overlap the one before
    if (Load8(a.data() + at) != Load8(b.data() + at)) return false;
    if (at == n - 8) return true;
  }
}

// A sample token's number as read so far: a plain decimal still to be divided out
// (`plain`), or already stored by the general reader.
struct PendingNumber {
  bool plain = false;
  bool negative = false;
  int fraction = 0;
  uint64_t mantissa = 0;
};

// The scanning half of ReadAseToken: plain decimals of few digits are left in
// `pending` (an integer over a power of ten is exact, and one division rounds
// correctly); everything else goes the general way into `out` at once.
template <class T>
[[gnu::always_inline]] inline const char* ScanToken(const char* p, const char* end, T& out, bool last,
                                                    PendingNumber& pending) {
  constexpr bool kFloating = std::is_floating_point_v<T>;
  const char* q = p;
  const bool negative = q < end && *q == '-';
  q += negative;
  uint64_t mantissa = 0;
  int digits = 0, fraction = 0;
  for (; q < end && unsigned(*q - '0') < 10; ++q, ++digits) mantissa = mantissa * 10 + unsigned(*q - '0');
  if constexpr (kFloating) {
    if (q < end && *q == '.')
      for (++q; q < end && unsigned(*q - '0') < 10; ++q, ++digits, ++fraction)
        mantissa = mantissa * 10 + unsigned(*q - '0');
  }
  const bool clean = last ? (q == end || (*q != 'e' && *q != 'E')) : (q == end || *q == ':');
  if (digits > 0 && digits <= (kFloating ? 15 : 9) && clean) {
    pending = {true, negative, fraction, mantissa};
    return last ? end : q;
  }
  pending.plain = false;
  const char* tokenEnd = last ? end : FindColon(p, end);
  ReadLeadingNumber(std::string_view(p, size_t(tokenEnd - p)), out);
  return tokenEnd;
}

// The converting half: stores a pending plain decimal.
template <class T>
[[gnu::always_inline]] inline void FinishToken(const PendingNumber& pending, T& out) {
  if (!pending.plain) return;
  if constexpr (std::is_floating_point_v<T>) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = static_cast<double>(static_cast<int64_t>(pending.mantissa)) / kPow10[pending.fraction];
    // The sign goes on without a branch: signs vary from sample to sample.
    out = std::bit_cast<double>(std::bit_cast<uint64_t>(value) | (uint64_t{pending.negative} << 63));
  } else {
    const int32_t value = static_cast<int32_t>(pending.mantissa);
    out = pending.negative ? -value : value;
  }
}

template <class T>
[[gnu::always_inline]] inline const char* ReadToken(const char* p, const char* end, T& out, bool last) {
  PendingNumber pending;
  const char* tokenEnd = ScanToken(p, end, out, last, pending);
  FinishToken(pending, out);
  return tokenEnd;
}

}  // namespace

template <class T>
const char* ReadAseToken(const char* p, const char* end, T& out, bool last) {
  return ReadToken(p, end, out, last);
}
template const char* ReadAseToken(const char*, const char*, double&, bool);
template const char* ReadAseToken(const char*, const char*, int32_t&, bool);

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

void TextLines::Replace(size_t i, std::string_view text) {
  spans[i] = {replacements.size(), static_cast<uint32_t>(text.size()), true};
  replacements.append(text);
}

namespace {

// Normalises the lines of `bytes` into `lines` (the bytes become, or extend, its
// buffer) and hands each new line's index to `onLine` as soon as it is stored.
template <class OnLine>
void ReadInto(TextLines& lines, std::vector<uint8_t>&& bytes, OnLine&& onLine) {
  size_t start = 0;
  if (lines.buffer.empty()) {
    lines.buffer = std::move(bytes);
  } else {
    start = lines.buffer.size();
    lines.buffer.insert(lines.buffer.end(), bytes.begin(), bytes.end());
  }
  char* const base = reinterpret_cast<char*>(lines.buffer.data());
  char* const limit = base + lines.buffer.size();
  lines.spans.reserve(lines.spans.size() + (lines.buffer.size() - start) / 32);
  size_t lineNumber = 0;
  for (char* p = base + start; p < limit;) {
    const ScannedLine line = NormaliseNextLine(p, limit);
    ++lineNumber;
    if (line.rawLength > kMaxTextLine) {
      cDebugSystem::Instance().Log(kSource, "line " + std::to_string(lineNumber) +
                                                " is longer than 127 characters; reading stops there");
      break;
    }
    lines.spans.push_back(
        {size_t(line.text - base), static_cast<uint32_t>(line.textEnd - line.text), false});
    onLine(lines.size() - 1);
    p = line.next;
  }
}

}  // namespace

// The parse, one stored line at a time, with the state that lives for one parse.
class cFileLoader_ASE::LineParser {
 public:
  explicit LineParser(cFileLoader_ASE& loader) : loader_(loader) {}
  void Line(size_t index);

 private:
  // The keyword id of `key`, trying the last one matched first: sample lines come
  // in long runs of the same keyword. The same answer as MatchKeyword.
  int32_t Match(std::string_view key);

  // Room for as many keys as the last finished track had: an export's tracks are
  // mostly alike, and the slots then grow in place instead of moving at every
  // doubling. Only the storage is reserved; the slots are as before.
  void ReserveKeys(AnimatedObject& object) const {
    if (keysHint_ <= object.capacity) return;
    const size_t room = static_cast<size_t>(keysHint_) + 10;  // the slots' last step of 5, and some
    object.keyTimes.reserve(room);
    object.keyValues.reserve(room);
  }

  cFileLoader_ASE& loader_;
  int32_t lastMatch_ = -1;
  int32_t keysHint_ = 0;
  SceneTiming timing_;
  // The numbers of the latest sample; one that does not read keeps its last value.
  int32_t tick_ = 0;
  double a_ = 0, b_ = 0, c_ = 0;
};

int32_t cFileLoader_ASE::LineParser::Match(std::string_view key) {
  // A keyword that matched once is the first of its text in the table, so a key
  // equal to it has no earlier match.
  const std::vector<PropertyKeyword>& keywords = loader_.keywords;
  if (lastMatch_ >= 0 && SameText(keywords[lastMatch_].text, key)) return keywords[lastMatch_].id;
  for (size_t i = 0; i < keywords.size(); ++i) {
    if (keywords[i].text == key) {
      lastMatch_ = static_cast<int32_t>(i);
      return keywords[i].id;
    }
  }
  return -1;
}

void cFileLoader_ASE::LineParser::Line(size_t index) {
  cFileLoader_ASE& l = loader_;
  bool& sceneOpen = l.keywords[kScene].open;
  bool& cameraOpen = l.keywords[kCameraObject].open;
  bool& animationOpen = l.keywords[kTmAnimation].open;
  bool& positionTrack = l.keywords[kControlPosTrack].open;
  bool& rotationTrack = l.keywords[kControlRotTrack].open;

  const std::string_view line = l.lines[index];
  const char* const lineEnd = line.data() + line.size();
  const char* const colon = FindColon(line.data(), lineEnd);
  const std::string_view key(line.data(), size_t(colon - line.data()));
  const std::string_view value =
      colon == lineEnd ? std::string_view() : std::string_view(colon + 1, size_t(lineEnd - colon - 1));
  int32_t id = Match(key);
  if (id < 0) return;  // no flag and no action depends on an unknown key

  if (id == kScene) sceneOpen = true;
  if (id == kCameraObject) cameraOpen = true;

  if (sceneOpen) {
    if (id >= kSceneFirstFrame && id <= kSceneTicksPerFrame) {
      int32_t number = 0;
      if (ReadLeadingNumber(value, number)) timing_.Set(id - kSceneFirstFrame, number);
    } else if (id == kClose) {
      sceneOpen = false;
    }
  }

  if (!cameraOpen) return;
  if (id == kTmAnimation) animationOpen = true;
  if (!animationOpen) return;

  bool checked = false;
  auto addSample = [&](bool rotation) {
    // Tokens split at ':' from the left; the last one is the whole remainder.
    const char* p = value.data();
    const char* const end = p + value.size();
    // The three divisions are made together after the scanning, so that they
    // overlap instead of each holding up what follows it.
    PendingNumber pending[4];
    auto token = [&](auto& number, bool last, PendingNumber& slot) {
      const char* tokenEnd = ScanToken(p, end, number, last, slot);
      p = tokenEnd < end ? tokenEnd + 1 : end;
    };
    token(tick_, false, pending[0]);
    token(a_, false, pending[1]);
    token(b_, false, pending[2]);
    // A rotation sample's fifth number, the angle, is not stored; since nothing can
    // observe its value, it is not read either.
    token(c_, !rotation, pending[3]);
    FinishToken(pending[0], tick_);
    FinishToken(pending[1], a_);
    FinishToken(pending[2], b_);
    FinishToken(pending[3], c_);
    // Every sample names its object after the current node; mostly it has that name already.
    if (!SameText(l.currentObject.name, l.currentName)) l.currentObject.SetName(l.currentName);
    int32_t ms = 0;
    const char* why = "";
    if (!timing_.ToMs(tick_, ms, why)) {
      cDebugSystem::Instance().Log(kSource,
                                   "line " + std::to_string(index + 1) + ": sample skipped, " + why);
      return;
    }
    if (rotation)
      l.currentObject.AddKey(ms, a_ * kDegreesPerRadian, b_ * kDegreesPerRadian,
                             c_ * kDegreesPerRadian);
    else
      l.currentObject.AddKey(ms, a_, c_, -b_);  // Z-up (x, y, z) to Y-up (x, z, -y)
  };
  auto finishTrack = [&](bool& trackOpen) {
    trackOpen = false;
    keysHint_ = l.currentObject.count;
    cDebugSystem::Instance().Log(kTrackSource, l.currentName);
    if (positionTrack || rotationTrack) {
      l.objects.push_back(l.currentObject);  // the other open track goes on adding to it
    } else {  // nothing adds to it before the next track replaces it
      l.objects.push_back(std::move(l.currentObject));
      l.currentObject = AnimatedObject();
    }
    id = -1;
    checked = true;
  };

  switch (id) {
    case kNodeName:
      l.currentName =
          value.size() < 2 ? std::string() : std::string(value.substr(1, value.size() - 2));
      break;
    case kControlPosTrack:
      l.currentObject = AnimatedObject();
      ReserveKeys(l.currentObject);
      positionTrack = true;
      break;
    case kControlRotTrack:
      l.currentObject = AnimatedObject();
      ReserveKeys(l.currentObject);
      rotationTrack = true;
      l.currentName += ".Rotation";
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
  if (checked) l.lines.Replace(index, "checked" + std::string(line.substr(1)));
}

void cFileLoader_ASE::Load(const std::string& filePath) {
  path = filePath;
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    cDebugSystem::Instance().Log(kSource, "cannot open " + path + ", no objects read");
    return;
  }
  LoadBytes(std::move(*bytes));
}

void cFileLoader_ASE::LoadText(std::string_view text) {
  LoadBytes(std::vector<uint8_t>(text.begin(), text.end()));
}

void cFileLoader_ASE::LoadBytes(std::vector<uint8_t>&& bytes) {
  // Each line is parsed as soon as it is stored, while it is still in the cache; the
  // outcome is that of reading every line first and parsing them afterwards.
  LineParser parser(*this);
  ReadInto(lines, std::move(bytes), [&](size_t index) { parser.Line(index); });
}

void cFileLoader_ASE::ReadLines(std::string_view text) {
  ReadLines(std::vector<uint8_t>(text.begin(), text.end()));
}

void cFileLoader_ASE::ReadLines(std::vector<uint8_t>&& bytes) {
  ReadInto(lines, std::move(bytes), [](size_t) {});
}

std::string cFileLoader_ASE::NormaliseLine(std::string_view raw) {
  std::string copy(raw);
  const ScannedLine line = NormaliseNextLine(copy.data(), copy.data() + copy.size());
  return std::string(line.text, size_t(line.textEnd - line.text));
}

void cFileLoader_ASE::Parse() {
  LineParser parser(*this);
  for (size_t index = 0; index < lines.size(); ++index) parser.Line(index);
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
