#include "properties/property_system.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "shell/debug_system.h"
#include "shell/exit.h"
#include "shell/file_paths.h"
#include "shell/show_data.h"

namespace VantorGL {

namespace {

constexpr std::string_view kSource = "cPropertySystem";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsStreamSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips what a formatted stream extraction skips and accepts the sign it accepts
// (from_chars knows no '+'). Returns the text from the first digit, or the '-' sign;
// empty when no number can start there.
std::string_view NumberStart(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsStreamSpace(text[i])) ++i;
  text.remove_prefix(i);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return {};
  }
  return text;
}

// Plain decimals ("-65.8677") of few digits are exact as integer over power of ten, and
// one division of exact operands rounds correctly: the common case without from_chars.
// Returns false to leave anything else (exponents, long mantissas) to from_chars.
template <class T>
bool ReadPlainDecimal(std::string_view text, T& out) {
  constexpr int kMaxDigits = sizeof(T) == 4 ? 7 : 15;  // mantissa below 2^24 or 2^53
  static constexpr T kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  i += negative;
  uint64_t mantissa = 0;
  int digits = 0, fraction = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      mantissa = mantissa * 10 + uint64_t(c - '0');
      ++digits;
      fraction += point;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > kMaxDigits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) return false;
  const T value = static_cast<T>(mantissa) / kPow10[fraction];
  out = negative ? -value : value;
  return true;
}

template <class T>
bool ReadFloating(std::string_view text, T& out) {
  text = NumberStart(text);
  if (ReadPlainDecimal(text, out)) return true;
  // Digits or a point must follow the sign: streams read no "inf" or "nan".
  const size_t first = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (text.size() <= first) return false;
  const char c = text[first];
  if (!(c >= '0' && c <= '9') && c != '.') return false;
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::general);
  if (ec != std::errc()) return false;
  (void)end;
  out = value;
  return true;
}

// A string value: the value text less its first and last character (the quotes).
std::string ReadString(std::string_view value) {
  if (value.size() < 2) return {};
  return std::string(value.substr(1, value.size() - 2));
}

// Three floats cut at the ":" separators; with fewer separators the last item is read
// again. Reading stops at the next ":", so each item may be read from its start on.
void ReadThreeFloats(std::string_view value, float& a, float& b, float& c) {
  std::string_view second = value, third;
  const size_t p1 = value.find(':');
  if (p1 != std::string_view::npos) second = value.substr(p1 + 1);
  third = second;
  if (p1 != std::string_view::npos) {
    const size_t p2 = second.find(':');
    if (p2 != std::string_view::npos) third = second.substr(p2 + 1);
  }
  ReadLeadingNumber(value, a);
  ReadLeadingNumber(second, b);
  ReadLeadingNumber(third, c);
}

}  // namespace

bool ReadLeadingNumber(std::string_view text, float& out) { return ReadFloating(text, out); }
bool ReadLeadingNumber(std::string_view text, double& out) { return ReadFloating(text, out); }

bool ReadLeadingNumber(std::string_view text, int32_t& out) {
  text = NumberStart(text);
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc()) return false;
  (void)end;
  out = value;
  return true;
}

cPropertySystem::cPropertySystem() {
  keywords.reserve(kKeywordCount);
  for (const char* text :
       {"QELPROPERTY", "COLOR", "ROTATION", "POSITION", "SCALE", "FILE", "NAME", "XYZ",
        "FILENAME", "RESCALE", "RGB", "ALPHA", "ANGLE", "SPEED", "RELATIVE_XYZ",
        "RELATIVE_XYZ_OFFSET", "VERSION", "DESC", "#", "}", "{", "TIME", "TIME_LONG",
        "RELATIVE_TIME_NAME", "RELATIVE_TIME_OFFSET_LONG"})
    AddKeyword(text);
}

void cPropertySystem::AddKeyword(const char* text) {
  keywords.push_back(PropertyKeyword{keywordCounter, text, false});
  ++keywordCounter;
}

int32_t cPropertySystem::MatchKeyword(std::string_view key) const {
  for (const PropertyKeyword& keyword : keywords) {
    if (keyword.text.size() != key.size()) continue;
    bool same = true;
    for (size_t i = 0; i < key.size() && same; ++i) {
      char c = key[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == keyword.text[i];
    }
    if (same) return keyword.id;
  }
  return -1;
}

void cPropertySystem::Load(std::string filePath) {
  path = std::move(filePath);
  const auto bytes = ReadFileBytes(path);
  fileRead = bytes.has_value();
  if (!bytes) {
    cDebugSystem::Instance().Log(kSource, "cannot open " + path + ", read as empty");
    return;
  }
  const Result result = LoadText(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  switch (result.status) {
    case Status::kOk:
      return;
    case Status::kUnbalancedBraces:
      ExitProgram(252, path + ": " + result.cause);
    case Status::kBadVersion:
      ExitProgram(251, path + ": " + result.cause);
  }
}

cPropertySystem::Result cPropertySystem::LoadText(std::string_view text) {
  ReadLines(text);
  if (!CheckBraces()) {
    size_t opens = 0, closes = 0;
    for (const std::string& line : lines)
      for (char c : line) {
        opens += c == '{';
        closes += c == '}';
      }
    return {Status::kUnbalancedBraces, "unbalanced braces (" + std::to_string(opens) +
                                           " \"{\", " + std::to_string(closes) + " \"}\")"};
  }
  Result result = Parse();
  if (result.status != Status::kOk) return result;
  ResolveRelativePositions();
  return result;
}

void cPropertySystem::ReadLines(std::string_view text) {
  const size_t tooLong = ForEachTextLine(text, [this](std::string_view raw) {
    lines.emplace_back();
    NormaliseLine(raw, lines.back());
  });
  if (tooLong && logging)
    cDebugSystem::Instance().Log(kSource, "line " + std::to_string(tooLong) +
                                              " is longer than 127 characters; reading stops there");
}

std::string cPropertySystem::NormaliseLine(std::string_view raw) {
  std::string out;
  NormaliseLine(raw, out);
  return out;
}

void cPropertySystem::NormaliseLine(std::string_view raw, std::string& out) {
  out.clear();
  out.reserve(raw.size());
  size_t i = 0;
  while (i < raw.size() && IsBlank(raw[i])) ++i;
  bool inQuotes = false;
  for (; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '#') {  // the rest of the line stays as written
      out.append(raw.substr(i));
      break;
    }
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && IsBlank(c)) {
      if (out.back() != ':') out.push_back(':');  // out is not empty: leading blanks are gone
      continue;
    }
    out.push_back(c);
  }
  while (!out.empty() && out.back() == ':') out.pop_back();
}

bool cPropertySystem::CheckBraces() const {
  int64_t balance = 0;
  for (const std::string& line : lines)
    for (char c : line) balance += (c == '{') - (c == '}');
  return balance == 0;
}

cPropertySystem::Result cPropertySystem::Parse() {
  // One record under construction per block kind: a field that a block omits keeps
  // the previous block's value (zero or empty before the first block).
  ColorProperty colour;
  RotationProperty rotation;
  PositionProperty position;
  ScaleProperty scale;
  FileProperty file;
  TimeProperty time;

  PropertyKeyword& header = keywords[kQelProperty];
  for (size_t index = 0; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    const std::string_view key = std::string_view(line).substr(0, colon);
    const std::string_view value =
        colon == std::string::npos ? std::string_view(line) : std::string_view(line).substr(colon + 1);
    if (logging && !key.empty() && key.front() == '#') cDebugSystem::Instance().Log(kSource, key);

    int32_t id = MatchKeyword(key);
    if (id == kQelProperty) header.open = true;
    if (!header.open) continue;

    if (id == kVersion) {
      int32_t version = 0;
      ReadLeadingNumber(value, version);
      if (version != 1)
        return {Status::kBadVersion, "line " + std::to_string(index + 1) + ": VERSION \"" +
                                         std::string(value) + "\" is not 1"};
    }

    bool closedBlock = false;
    // The block kinds in their fixed order. A "}" closes the first open one and is
    // then marked "checked" so that it closes nothing else.
    auto visit = [&](int32_t blockKeyword, auto& record, auto& table, auto&& readField) {
      PropertyKeyword& block = keywords[blockKeyword];
      if (id == blockKeyword) {
        block.open = true;
        ++recordCounter;
        record.id = recordCounter;
        record.name.clear();
        record.description.clear();
      }
      if (!block.open) return;
      switch (id) {
        case kName:
          record.name = ReadString(value);
          break;
        case kDesc:
          record.description = ReadString(value);
          break;
        case kClose:
          block.open = false;
          id = -1;
          closedBlock = true;
          table.push_back(record);
          break;
        default:
          readField(record);
      }
    };

    visit(kColor, colour, colours, [&](ColorProperty& r) {
      if (id == kAlpha) ReadLeadingNumber(value, r.alpha);
      if (id == kRgb) ReadThreeFloats(value, r.red, r.green, r.blue);
    });
    visit(kRotation, rotation, rotations, [&](RotationProperty& r) {
      if (id == kAngle) ReadLeadingNumber(value, r.angle);
      if (id == kSpeed) ReadLeadingNumber(value, r.speed);
      if (id == kXyz) ReadThreeFloats(value, r.x, r.y, r.z);
    });
    visit(kPosition, position, positions, [&](PositionProperty& r) {
      if (id == kRelativeXyz) r.relativeName = ReadString(value);
      if (id == kXyz) ReadThreeFloats(value, r.x, r.y, r.z);
    });
    visit(kScale, scale, scales, [&](ScaleProperty& r) {
      if (id == kXyz) ReadThreeFloats(value, r.x, r.y, r.z);
    });
    visit(kFile, file, files, [&](FileProperty& r) {
      if (id == kFileName) r.fileName = ReadString(value);
      if (id == kRescale) ReadLeadingNumber(value, r.rescale);
    });
    visit(kTime, time, times, [&](TimeProperty& r) {
      if (id == kTimeLong) ReadLeadingNumber(value, r.time);
      if (id == kRelativeTimeName) r.relativeTimeName = ReadString(value);
    });
    if (closedBlock) lines[index].replace(0, 1, "checked");  // key and value die here
  }
  return {};
}

void cPropertySystem::ResolveRelativePositions() {
  // Every position P gets the coordinates of every position named P's relative name
  // added, in table order and as they stand at that moment (so a chain resolves fully
  // only when each referenced record comes first). Names never change here, so the
  // matches can be gathered once instead of comparing every pair.
  std::unordered_map<std::string_view, std::vector<size_t>> byName;
  for (size_t q = 0; q < positions.size(); ++q) byName[positions[q].name].push_back(q);
  for (PositionProperty& p : positions) {
    const auto found = byName.find(p.relativeName);
    if (found == byName.end()) continue;
    for (size_t q : found->second) {
      p.x += positions[q].x;
      p.y += positions[q].y;
      p.z += positions[q].z;
    }
  }
}

const FileProperty* cPropertySystem::FindFileRecord(std::string_view name) const {
  for (const FileProperty& record : files)
    if (record.name == name) return &record;
  return nullptr;
}

namespace {
// Why a property file could not be read. Nearly always the program was started
// from another directory: it reads all its data relative to where it starts,
// or from the data installed with it (shell/show_data.h).
std::string UnreadableFileCause(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(ResolvePath(path), ec)) return path + ": the file cannot be read";
  if (fs::path(path).is_absolute()) return path + ": not found";
  std::string cause = path + " not found in the working directory";
  const fs::path here = fs::current_path(ec);
  if (!ec) {
    cause += ' ';
    cause += here.string();
  }
  cause += ": the program reads its data from the directory it is started in";
  const ShowData& data = CurrentShowData();
  if (!data.unusable.empty()) {
    cause += ", or else from the data beside it: ";
    cause += data.unusable;
  } else if (!data.installedLookedIn.empty()) {
    cause += ", or else from ";
    cause += data.installedLookedIn;
    cause += ", installed with it, which holds none either";
  }
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && fs::exists(program.parent_path() / path, ec))
    return cause + "; start it from " + program.parent_path().string();
  return cause + "; start it from its stage, the directory that holds it and its data";
}
}  // namespace

FileProperty cPropertySystem::FindFile(const std::string& name) const {
  if (const FileProperty* record = FindFileRecord(name)) return *record;
  if (!path.empty() && !fileRead) ExitProgram(2, UnreadableFileCause(path));
  ExitProgram(2, (path.empty() ? std::string("property file") : path) +
                     ": no FILE entry named \"" + name + "\"");
}

}  // namespace VantorGL
