#include "engine/format_size.h"

#include <cstdio>

namespace corvane {

std::string FormatSize(std::uint64_t bytes) {
  float value = static_cast<float>(bytes);
  const char* unit = "GB";
  float scale = 1.0f / (1u << 30);
  if ((bytes >> 32) == 0) {
    const auto low = static_cast<std::uint32_t>(bytes);
    if (low < 500u) {
      unit = "B";
      scale = 1.0f;
    } else if (low < 500000u) {
      unit = "KB";
      scale = 1.0f / (1u << 10);
    } else if (low < 500000000u) {
      unit = "MB";
      scale = 1.0f / (1u << 20);
    }
  }
  value *= scale;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %s", static_cast<double>(value), unit);
  return text;
}

std::string FormatSizeOrDash(std::uint64_t bytes) {
  return bytes == 0 ? "—" : FormatSize(bytes);
}

std::string FormatCount(std::uint64_t count, std::string_view separator) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += digits[i];
  }
  return text;
}

}  // namespace corvane
