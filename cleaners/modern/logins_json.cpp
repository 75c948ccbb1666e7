#include "cleaners/modern/logins_json.h"

#include <cstdint>
#include <optional>

namespace corvane {

namespace {

// Deeper nesting than this is no logins file: refused before the stack could suffer.
constexpr int kMaxDepth = 64;

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A strict reader of one JSON text. Every value is checked; only the strings asked for are
// decoded.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  [[nodiscard]] std::size_t Position() const { return pos_; }
  [[nodiscard]] bool AtEnd() {
    SkipSpace();
    return pos_ == text_.size();
  }
  [[nodiscard]] bool Peek(char c) {
    SkipSpace();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  [[nodiscard]] bool Take(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }

  // A string at the position; decoded into `out` when given.
  [[nodiscard]] bool String(std::string* out) {
    if (!Take('"')) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        if (out != nullptr) *out += c;
        continue;
      }
      if (pos_ >= text_.size()) return false;
      const char escape = text_[pos_++];
      if (escape == 'u') {
        std::optional<std::uint32_t> code = Hex4();
        if (!code) return false;
        if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
          pos_ += 2;
          const std::optional<std::uint32_t> low = Hex4();
          if (!low) return false;
          if (*low >= 0xDC00 && *low < 0xE000) {
            code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
          } else if (out != nullptr) {
            AppendUtf8(*out, 0xFFFD);
            code = *low;
          }
        }
        if (out != nullptr) AppendUtf8(*out, *code >= 0xD800 && *code < 0xE000 ? 0xFFFD : *code);
        continue;
      }
      static constexpr std::string_view kEscapes = "\"\\/bfnrt";
      static constexpr std::string_view kMeaning = "\"\\/\b\f\n\r\t";
      const std::size_t which = kEscapes.find(escape);
      if (which == std::string_view::npos) return false;
      if (out != nullptr) *out += kMeaning[which];
    }
    return false;
  }

  // Any value, checked and stepped over.
  [[nodiscard]] bool Value(int depth) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_];
    if (c == '"') return String(nullptr);
    if (c == '{') {
      ++pos_;
      if (Take('}')) return true;
      do {
        if (!String(nullptr) || !Take(':') || !Value(depth + 1)) return false;
      } while (Take(','));
      return Take('}');
    }
    if (c == '[') {
      ++pos_;
      if (Take(']')) return true;
      do {
        if (!Value(depth + 1)) return false;
      } while (Take(','));
      return Take(']');
    }
    for (const std::string_view word : {"true", "false", "null"}) {
      if (text_.substr(pos_, word.size()) == word) {
        pos_ += word.size();
        return true;
      }
    }
    return Number();
  }

 private:
  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  [[nodiscard]] std::optional<std::uint32_t> Hex4() {
    if (text_.size() - pos_ < 4) return std::nullopt;
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return code;
  }

  [[nodiscard]] bool Digits() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  [[nodiscard]] bool Number() {
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '0') {
      ++pos_;
    } else if (!Digits()) {
      return false;
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!Digits()) return false;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!Digits()) return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// One login object: its site fields decoded, the rest checked. Depth 2 (document, array).
bool ReadLogin(Reader& reader, SavedLogin& login) {
  if (!reader.Peek('{')) return false;
  login.begin = reader.Position();
  static_cast<void>(reader.Take('{'));
  if (!reader.Take('}')) {
    do {
      std::string name;
      if (!reader.String(&name) || !reader.Take(':')) return false;
      std::string* site = name == "hostname"        ? &login.hostname
                          : name == "formSubmitURL" ? &login.formSubmitUrl
                                                    : nullptr;
      if (site != nullptr && reader.Peek('"')) {
        site->clear();
        if (!reader.String(site)) return false;
      } else if (!reader.Value(3)) {
        return false;
      }
    } while (reader.Take(','));
    if (!reader.Take('}')) return false;
  }
  login.end = reader.Position();
  return true;
}

}  // namespace

LoginsJsonStatus LoginsJson::Parse(std::string text) {
  text_ = std::move(text);
  logins_.clear();
  if (text_.size() > kMaxLoginsJson) return LoginsJsonStatus::Invalid;
  Reader reader(text_);
  bool found = false;
  bool shape = true;  // "logins", when found, is an array of objects
  std::vector<SavedLogin> logins;
  if (reader.Take('{')) {
    if (!reader.Take('}')) {
      do {
        std::string name;
        if (!reader.String(&name) || !reader.Take(':')) return LoginsJsonStatus::Invalid;
        if (name != "logins" || found || !reader.Peek('[')) {
          if (name == "logins") shape = false;
          if (!reader.Value(1)) return LoginsJsonStatus::Invalid;
          continue;
        }
        found = true;
        static_cast<void>(reader.Take('['));
        arrayBegin_ = reader.Position();
        if (!reader.Peek(']')) {
          do {
            SavedLogin login;
            if (!reader.Peek('{')) {
              shape = false;
              if (!reader.Value(2)) return LoginsJsonStatus::Invalid;
              continue;
            }
            if (!ReadLogin(reader, login)) return LoginsJsonStatus::Invalid;
            logins.push_back(std::move(login));
          } while (reader.Take(','));
        }
        static_cast<void>(reader.Peek(']'));
        arrayEnd_ = reader.Position();
        if (!reader.Take(']')) return LoginsJsonStatus::Invalid;
      } while (reader.Take(','));
      if (!reader.Take('}')) return LoginsJsonStatus::Invalid;
    }
  } else if (!reader.Value(0)) {
    return LoginsJsonStatus::Invalid;
  }
  if (!reader.AtEnd()) return LoginsJsonStatus::Invalid;
  if (!found || !shape) return LoginsJsonStatus::NoLogins;
  logins_ = std::move(logins);
  return LoginsJsonStatus::Ok;
}

std::string LoginsJson::Without(const std::vector<bool>& drop) const {
  std::string out(text_.substr(0, arrayBegin_));
  bool first = true;
  for (std::size_t i = 0; i < logins_.size(); ++i) {
    if (i < drop.size() && drop[i]) continue;
    if (!first) out += ',';
    first = false;
    const SavedLogin& login = logins_[i];
    out.append(text_, login.begin, login.end - login.begin);
  }
  out.append(text_, arrayEnd_);
  return out;
}

}  // namespace corvane
