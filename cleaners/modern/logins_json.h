#pragma once
// Firefox's saved logins, "logins.json": one JSON object whose "logins" array holds an object per
// login. Only the site of each login is read, its "hostname" and "formSubmitURL"; every other
// value (the encrypted user name and password among them) is only checked for its syntax and
// stepped over, and a rewrite copies the kept logins byte for byte, so what the browser encrypted
// stays exactly as it was.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// A larger file is no list of logins anyone keeps: it is refused rather than read.
inline constexpr std::size_t kMaxLoginsJson = 64u << 20;

struct SavedLogin {
  std::string hostname;       // empty when missing or not a string
  std::string formSubmitUrl;  // likewise
  std::size_t begin = 0;      // the login's object in the text, from "{" to after "}"
  std::size_t end = 0;
};

enum class LoginsJsonStatus {
  Ok,
  Invalid,   // no JSON (damaged, cut short, nested too deep, too large)
  NoLogins,  // JSON, but no object with a "logins" array of objects
};

class LoginsJson {
 public:
  // Reads the text. On anything but Ok the logins are empty.
  [[nodiscard]] LoginsJsonStatus Parse(std::string text);

  [[nodiscard]] const std::vector<SavedLogin>& Logins() const { return logins_; }

  // The text without the logins whose `drop` is true (one flag per login, in order): the array
  // holds the kept logins' bytes joined by ",", and everything outside it is as it was.
  [[nodiscard]] std::string Without(const std::vector<bool>& drop) const;

 private:
  std::string text_;
  std::size_t arrayBegin_ = 0;  // after "[" of "logins"
  std::size_t arrayEnd_ = 0;    // at its "]"
  std::vector<SavedLogin> logins_;
};

}  // namespace corvane
