// Reads Wine's text registry format: everything Wine writes, and the looser spellings Wine also
// reads (str: strings, short dword and hex digits, raw UTF-8, comments, missing times). Where
// Wine skips a line it cannot read, so do we, and carry on, so a damaged hive is still readable;
// but any such line makes the hive read-only, because saving would silently drop what was skipped.
// Lines Wine would read more leniently than we do (text after a value, say) count as damage too.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_hive_file.h"
#include "platform/text.h"

namespace corvane {
namespace {

constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::string_view kSignature = "WINE REGISTRY Version 2";
constexpr std::string_view kBranchPrefix = ";; All keys relative to ";
// Windows nests keys at most 512 deep; deeper paths only come from damaged or hostile files, and
// would make every recursive walk of the tree a risk to the stack.
constexpr std::size_t kMaxKeyDepth = 512;

// Hex data makes up most of a hive, so digits are looked up rather than tested.
constexpr auto kHexDigitValues = [] {
  std::array<signed char, 256> values{};
  values.fill(-1);
  for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<signed char>(i);
  for (int i = 0; i < 6; ++i) {
    values['a' + i] = static_cast<signed char>(10 + i);
    values['A' + i] = static_cast<signed char>(10 + i);
  }
  return values;
}();

int HexDigitValue(char c) {
  return kHexDigitValues[static_cast<unsigned char>(c)];
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

bool IsBlankLine(std::string_view s) {
  return TrimLeft(s).empty();
}

void AppendCodePoint(char32_t cp, std::u16string& out) {
  if (cp >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

enum class Unescaped { Done, Unterminated, BadUtf8 };

// Stands for "read to the end of the line" where a terminator is expected.
constexpr int kToLineEnd = -1;

// Reads escaped text from `line` starting at `pos` up to the unescaped `terminator` (consumed) and
// appends it as UTF-16 units. Characters outside escapes are UTF-8.
Unescaped Unescape(std::string_view line, std::size_t& pos, int terminator, std::u16string& out) {
  while (pos < line.size()) {
    char c = line[pos];
    if (terminator != kToLineEnd && c == static_cast<char>(terminator)) {
      ++pos;
      return Unescaped::Done;
    }
    if (c == '\\') {
      if (++pos == line.size()) return Unescaped::Unterminated;  // nothing left to escape
      c = line[pos];
      const char16_t control = c == 'a'   ? u'\a'
                               : c == 'b' ? u'\b'
                               : c == 't' ? u'\t'
                               : c == 'n' ? u'\n'
                               : c == 'v' ? u'\v'
                               : c == 'f' ? u'\f'
                               : c == 'r' ? u'\r'
                               : c == 'e' ? u'\x1b'
                                          : u'\0';
      if (control != u'\0') {
        out += control;
        ++pos;
        continue;
      }
      if (c == 'x') {
        ++pos;
        unsigned v = 0;
        int digits = 0;
        for (; digits < 4 && pos < line.size() && HexDigitValue(line[pos]) >= 0; ++digits) {
          v = v * 16 + static_cast<unsigned>(HexDigitValue(line[pos++]));
        }
        out += digits == 0 ? u'x' : static_cast<char16_t>(v);
        continue;
      }
      if (c >= '0' && c <= '7') {
        unsigned v = 0;
        for (int digits = 0;
             digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits) {
          v = v * 8 + static_cast<unsigned>(line[pos++] - '0');
        }
        out += static_cast<char16_t>(v);
        continue;
      }
      // Any other escaped character stands for itself: read it below like an unescaped one.
    }
    if (static_cast<unsigned char>(c) < 0x80) {
      out += static_cast<char16_t>(c);
      ++pos;
      continue;
    }
    const std::size_t start = pos;
    const char32_t cp = DecodeUtf8(line, pos);
    // A genuine U+FFFD takes three bytes; a shorter one stands for bytes that are not UTF-8.
    if (cp == 0xFFFD && pos - start < 3) return Unescaped::BadUtf8;
    AppendCodePoint(cp, out);
  }
  return terminator == kToLineEnd ? Unescaped::Done : Unescaped::Unterminated;
}

// Where the text from `pos` ends at `terminator` when it is plain ASCII with nothing escaped, the
// common case that needs no decoding; npos otherwise.
std::size_t PlainTextEnd(std::string_view line, std::size_t pos, char terminator) {
  for (std::size_t i = pos; i < line.size(); ++i) {
    const char c = line[i];
    if (c == terminator) return i;
    if (c == '\\' || static_cast<unsigned char>(c) >= 0x80) return std::string_view::npos;
  }
  return std::string_view::npos;
}

// The text split into lines, with line numbers for messages.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t end = text_.find('\n', pos_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(pos_, stop - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++number_;
    return true;
  }
  // Puts the line just read back, so the next Next() returns it again.
  void Unread(std::string_view line) {
    pos_ = static_cast<std::size_t>(line.data() - text_.data());
    --number_;
  }
  [[nodiscard]] std::size_t Number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;
};

class HiveReader {
 public:
  HiveReader(std::string_view text, std::string_view fileName, RegistryHive& hive)
      : lines_(text), fileName_(fileName), hive_(hive) {}

  bool Read() {
    std::string_view line;
    if (!lines_.Next(line)) return Fail("empty file");
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line != kSignature) return Fail("not a Wine registry file");
    ReadHeader();
    while (lines_.Next(line)) ReadLine(line);
    return ok_;
  }

 private:
  bool Fail(std::string_view what) {
    if (ok_) {
      hive_.parseError = std::string(fileName_) + ":" +
                         std::to_string(std::max<std::size_t>(lines_.Number(), 1)) + ": " +
                         std::string(what);
      hive_.readOnly = true;
      ok_ = false;
    }
    return false;
  }

  // Names are UTF-8 in memory, where a lone surrogate has no spelling: such a name would be
  // renamed by saving, so it makes the hive read-only.
  bool ToUtf8(std::u16string_view units, std::string& out, std::string_view what) {
    for (std::size_t i = 0; i < units.size(); ++i) {
      const char16_t u = units[i];
      const bool high = u >= 0xD800 && u <= 0xDBFF;
      const bool low = u >= 0xDC00 && u <= 0xDFFF;
      if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        ++i;
      } else if (high || low) {
        return Fail("unpaired surrogate in " + std::string(what));
      }
    }
    out = Utf16ToUtf8(units);
    return true;
  }

  // Unescape, failing with "unterminated <what>" or a note on bad UTF-8.
  bool ReadEscaped(std::string_view line, std::size_t& pos, int terminator, std::u16string& out,
                   std::string_view what) {
    switch (Unescape(line, pos, terminator, out)) {
      case Unescaped::Done:
        return true;
      case Unescaped::Unterminated:
        return Fail("unterminated " + std::string(what));
      case Unescaped::BadUtf8:
        return Fail("text that is not UTF-8 in " + std::string(what));
    }
    return false;
  }

  void ReadHeader() {
    std::string_view line;
    while (lines_.Next(line)) {
      if (line.starts_with('[')) {
        lines_.Unread(line);
        return;
      }
      if (line.starts_with(kBranchPrefix)) {
        std::u16string branch;
        std::size_t pos = kBranchPrefix.size();
        if (ReadEscaped(line, pos, kToLineEnd, branch, "branch name")) {
          (void)ToUtf8(branch, hive_.branch, "branch name");
        }
      } else if (line.starts_with("#arch=")) {
        hive_.arch = std::string(line.substr(6));
      } else if (line.starts_with('#')) {
        hive_.extraHeaderLines.emplace_back(line);
      } else if (!IsBlankLine(line) && !line.starts_with(';')) {
        Fail("unexpected text before the first key");
      }
    }
  }

  void ReadLine(std::string_view line) {
    if (IsBlankLine(line) || line.starts_with(';')) return;
    switch (line.front()) {
      case '[':
        ReadKeyLine(line);
        return;
      case '#':
        ReadKeyOption(line);
        return;
      case '"':
      case '@':
        ReadValueLine(line);
        return;
      default:
        Fail("unrecognized line");
    }
  }

  // Walks (and creates) the key path. Keys created here take the line's time until a "#time="
  // line corrects them; a key that already existed keeps its own time, as Wine does when a file
  // names the same key twice.
  void ReadKeyLine(std::string_view line) {
    key_ = nullptr;
    created_.clear();
    std::size_t pos = 1;
    names_.clear();
    if (!ReadKeyPath(line, pos)) return;
    std::string_view rest = TrimLeft(line.substr(pos));
    std::uint64_t modified = 0;
    if (rest.empty()) {
      modified = FileTimeNow();
    } else {
      std::uint64_t seconds = 0;
      std::size_t i = 0;
      while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && seconds < (1ULL << 40)) {
        seconds = seconds * 10 + static_cast<std::uint64_t>(rest[i++] - '0');
      }
      if (i == 0 || !IsBlankLine(rest.substr(i))) {
        Fail("bad key line");
        return;
      }
      modified = kTicks1601To1970 + seconds * kTicksPerSecond;
    }
    // Keys come sorted, so the previous key's path is usually a prefix of this one: start the
    // walk where the two part.
    std::size_t same = 0;
    while (same < names_.size() && same < pathNames_.size() && names_[same] == pathNames_[same]) {
      ++same;
    }
    pathNames_.resize(same);
    pathNodes_.resize(same);
    RegistryNode* node = same == 0 ? &hive_.root : pathNodes_.back();
    for (std::size_t i = same; i < names_.size(); ++i) {
      const std::string& name = names_[i];
      RegistryNode* child = nullptr;
      bool created = false;
      auto& subkeys = node->subkeys;
      if (subkeys.empty() || CompareRegistryNames(subkeys.back()->name, name) < 0) {
        subkeys.push_back(std::make_unique<RegistryNode>());  // sorted input appends
        child = subkeys.back().get();
        child->name = name;
        child->parent = node;
        created = true;
      } else if ((child = node->FindSubkey(name)) == nullptr) {
        child = &node->AddSubkey(name);
        created = true;
      }
      if (created) {
        child->modified = modified;
        created_.push_back(child);
      }
      pathNames_.push_back(name);
      pathNodes_.push_back(child);
      node = child;
    }
    key_ = node;
  }

  // Splits the escaped path up to its closing ']' into names_ (UTF-8).
  bool ReadKeyPath(std::string_view line, std::size_t& pos) {
    // The common case: ASCII, and the only escapes are the "\\" separators.
    std::size_t start = pos;
    for (std::size_t i = pos; i < line.size(); ++i) {
      const char c = line[i];
      if (static_cast<unsigned char>(c) >= 0x80) break;
      if (c == ']' || (c == '\\' && i + 1 < line.size() && line[i + 1] == '\\')) {
        if (!AddPathName(line.substr(start, i - start), c == ']' && i == pos)) return false;
        if (c == ']') {
          pos = i + 1;
          return true;
        }
        start = ++i + 1;
      } else if (c == '\\') {
        break;
      }
    }
    names_.clear();
    std::u16string path;
    if (!ReadEscaped(line, pos, ']', path, "key name")) return false;
    if (path.empty()) return true;
    for (std::size_t first = 0;;) {
      std::size_t end = path.find(u'\\', first);
      if (end == std::u16string::npos) end = path.size();
      std::string name;
      if (!ToUtf8(std::u16string_view(path).substr(first, end - first), name, "key name") ||
          !AddPathName(name, false)) {
        return false;
      }
      if (end == path.size()) return true;
      first = end + 1;
    }
  }

  // One name of a key path; `wholePathEmpty` allows "[]", the hive's root.
  bool AddPathName(std::string_view name, bool wholePathEmpty) {
    if (wholePathEmpty) return true;
    if (name.empty()) return Fail("empty key name in path");
    if (names_.size() == kMaxKeyDepth) return Fail("key nested too deeply");
    names_.emplace_back(name);
    return true;
  }

  void ReadKeyOption(std::string_view line) {
    if (key_ == nullptr) return;  // the options of a key we could not read go with it
    if (line.starts_with("#time=")) {
      std::uint64_t t = 0;
      std::size_t i = 6;
      for (; i < line.size() && i < 6 + 16 && HexDigitValue(line[i]) >= 0; ++i) {
        t = t << 4 | static_cast<std::uint64_t>(HexDigitValue(line[i]));
      }
      if (i == 6 || !IsBlankLine(line.substr(i))) {
        Fail("bad #time line");
        return;
      }
      // Only the first time given for a key that this block created counts; zero means unset.
      if (t != 0) {
        for (RegistryNode* node : created_) node->modified = t;
        created_.clear();
      }
    } else if (line.starts_with("#class=\"")) {
      std::size_t pos = 8;
      std::u16string className;
      if (!ReadEscaped(line, pos, '"', className, "class name")) return;
      if (!IsBlankLine(line.substr(pos))) {
        Fail("text after the class name");
        return;
      }
      if (!ToUtf8(className, key_->className, "class name")) return;
      key_->hasClass = true;
    } else if (line == "#link") {
      key_->isLink = true;
    } else {
      key_->extraLines.emplace_back(line);
    }
  }

  void ReadValueLine(std::string_view line) {
    if (key_ == nullptr) {
      Fail("value outside a key");
      return;
    }
    std::size_t pos = 1;
    std::string name;
    if (line.front() == '"' && !ReadName(line, pos, name)) return;
    if (pos >= line.size() || line[pos] != '=') {
      Fail("missing '=' after the value name");
      return;
    }
    ++pos;
    std::uint32_t type = REG_NONE;
    std::string data;
    if (!ReadData(line, pos, type, data)) return;
    auto& values = key_->values;
    if (values.empty() || CompareRegistryNames(values.back().name, name) < 0) {
      values.push_back(RegistryValue{std::move(name), type, std::move(data)});  // sorted input
    } else {
      key_->SetValue(name, type, std::move(data));
    }
  }

  // A quoted value name, as UTF-8.
  bool ReadName(std::string_view line, std::size_t& pos, std::string& name) {
    if (const std::size_t end = PlainTextEnd(line, pos, '"'); end != std::string_view::npos) {
      name.assign(line.substr(pos, end - pos));
      pos = end + 1;
      return true;
    }
    std::u16string units;
    if (!ReadEscaped(line, pos, '"', units, "value name")) return false;
    return ToUtf8(units, name, "value name");
  }

  bool ReadData(std::string_view line, std::size_t pos, std::uint32_t& type, std::string& data) {
    const std::string_view form = line.substr(pos);
    std::size_t quote = std::string_view::npos;
    if (form.starts_with('"')) {
      type = REG_SZ, quote = pos + 1;
    } else if (form.starts_with("str:\"")) {
      type = REG_SZ, quote = pos + 5;
    } else if (form.starts_with("str(2):\"")) {
      type = REG_EXPAND_SZ, quote = pos + 8;
    } else if (form.starts_with("str(7):\"")) {
      type = REG_MULTI_SZ, quote = pos + 8;
    }
    if (quote != std::string_view::npos) {
      if (const std::size_t end = PlainTextEnd(line, quote, '"');
          end != std::string_view::npos && IsBlankLine(line.substr(end + 1))) {
        data.assign((end - quote + 1) * 2, '\0');
        for (std::size_t i = quote; i < end; ++i) data[(i - quote) * 2] = line[i];
        return true;
      }
      std::u16string text;
      if (!ReadEscaped(line, quote, '"', text, "string")) return false;
      if (!IsBlankLine(line.substr(quote))) return Fail("text after the string");
      text += u'\0';
      data = Utf16ToLeBytes(text);
      return true;
    }
    if (form.starts_with("dword:")) {
      std::uint32_t v = 0;
      std::size_t i = 6;
      for (; i < form.size() && i < 6 + 8 && HexDigitValue(form[i]) >= 0; ++i) {
        v = v << 4 | static_cast<std::uint32_t>(HexDigitValue(form[i]));
      }
      if (i == 6 || !IsBlankLine(form.substr(i))) return Fail("bad dword value");
      type = REG_DWORD;
      data = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
              static_cast<char>(v >> 24)};
      return true;
    }
    std::size_t i = 0;
    if (form.starts_with("hex:")) {
      type = REG_BINARY, i = 4;
    } else if (form.starts_with("hex(")) {
      std::uint64_t t = 0;
      i = 4;
      for (; i < form.size() && i < 4 + 8 && HexDigitValue(form[i]) >= 0; ++i) {
        t = t << 4 | static_cast<std::uint64_t>(HexDigitValue(form[i]));
      }
      if (i == 4 || !form.substr(i).starts_with("):")) return Fail("bad hex value type");
      type = static_cast<std::uint32_t>(t), i += 2;
    } else {
      return Fail("unknown value form");
    }
    data.reserve((form.size() - i + 1) / 3);  // exact for one line, a start for more
    return ReadHexBytes(form.substr(i), data);
  }

  // Comma-separated bytes of one or two hex digits; a line ending in a backslash continues on
  // the next one, after its leading blanks.
  bool ReadHexBytes(std::string_view rest, std::string& data) {
    while (true) {
      std::size_t i = 0;
      while (i < rest.size()) {
        if (rest[i] == '\\' && IsBlankLine(rest.substr(i + 1))) break;
        const int high = HexDigitValue(rest[i]);
        if (high < 0) return Fail("bad hex data");
        int v = high;
        ++i;
        if (i < rest.size() && HexDigitValue(rest[i]) >= 0) v = v * 16 + HexDigitValue(rest[i++]);
        data += static_cast<char>(v);
        if (i < rest.size() && rest[i] == ',') {
          ++i;
        } else if (i < rest.size() && !(rest[i] == '\\' && IsBlankLine(rest.substr(i + 1)))) {
          if (IsBlankLine(rest.substr(i))) break;
          return Fail("bad hex data");
        }
      }
      if (i >= rest.size() || rest[i] != '\\') return true;
      std::string_view next;
      if (!lines_.Next(next)) return Fail("hex data cut off at the end of the file");
      rest = TrimLeft(next);
    }
  }

  Lines lines_;
  std::string_view fileName_;
  RegistryHive& hive_;
  bool ok_ = true;
  RegistryNode* key_ = nullptr;           // the key whose lines are being read
  std::vector<RegistryNode*> created_;    // keys the current key line created
  std::vector<std::string> names_;        // the names of the key line being read
  std::vector<std::string> pathNames_;    // the previous key line's names ...
  std::vector<RegistryNode*> pathNodes_;  // ... and the keys they led to
};

void Clear(RegistryHive& hive) {
  hive.branch.clear();
  hive.arch.clear();
  hive.readOnly = false;
  hive.parseError.clear();
  hive.extraHeaderLines.clear();
  RegistryNode& root = hive.root;
  root.name.clear();
  root.modified = 0;
  root.className.clear();
  root.hasClass = root.isLink = root.isVolatile = false;
  root.values.clear();
  root.subkeys.clear();
  root.extraLines.clear();
}

}  // namespace

bool ParseHive(std::string_view text, std::string_view fileName, RegistryHive& hive) {
  Clear(hive);
  return HiveReader(text, fileName, hive).Read();
}

}  // namespace corvane
