#include "host/gtk/page_url_policy.h"

#include <glib.h>

#include <algorithm>
#include <string_view>

namespace corvane {

namespace {

std::filesystem::path Resolved(const std::filesystem::path& path) {
  std::error_code ec;
  // Resolves symlinks of the part that exists; a page that does not exist yet still resolves.
  std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path.lexically_normal() : resolved;
}

}  // namespace

PageUrlPolicy::PageUrlPolicy(const std::filesystem::path& programFolder)
    : folder_(Resolved(std::filesystem::absolute(programFolder))) {
  if (folder_.filename().empty()) folder_ = folder_.parent_path();  // a trailing separator
}

bool PageUrlPolicy::Allows(const std::string& url) const {
  // A fragment or query does not change which file is loaded.
  const std::string withoutSuffix = url.substr(0, url.find_first_of("?#"));
  gchar* host = nullptr;
  gchar* file = g_filename_from_uri(withoutSuffix.c_str(), &host, nullptr);
  const bool remote = host != nullptr && std::string_view(host) != "localhost";
  g_free(host);
  if (file == nullptr || remote) {  // not a file: URI, or one naming another machine
    g_free(file);
    return false;
  }
  const std::filesystem::path page = Resolved(file);
  g_free(file);
  const auto [folderEnd, pageAt] =
      std::mismatch(folder_.begin(), folder_.end(), page.begin(), page.end());
  return folderEnd == folder_.end() && pageAt != page.end();
}

}  // namespace corvane
