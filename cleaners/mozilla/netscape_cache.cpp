#include "cleaners/mozilla/netscape_cache.h"

#include <string>
#include <vector>

#include "cleaners/mozilla/mozilla_profiles.h"
#include "cleaners/mozilla/profile_folder.h"
#include "engine/file_set.h"

namespace corvane {

namespace {

constexpr const char* kCacheFolders[] = {"Cache", "Cache.Trash"};

}  // namespace

bool GetNetscapeCache(std::uint64_t& bytes, std::uint32_t& files, ProgressReporter& progress) {
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::Cache, profiles)) return false;
  progress.Report("");
  std::string dots;
  for (const std::string& profile : profiles) {
    if (progress.IsCancelled()) return false;
    progress.Report(dots += '.');
    if (!OpenProfile("GetNetscapeCache", profile)) continue;
    for (const char* folder : kCacheFolders) {
      // A folder that cannot be listed holds nothing this scan can show.
      (void)CollectFileSet(profile + folder, {}, "*", files, bytes);
    }
  }
  return true;
}

bool DeleteNetscapeCache(Overwrite overwrite, ProgressReporter& progress, DeletionTally* tally) {
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::Cache, profiles)) return false;
  std::string dots;
  bool complete = true;
  const CancelCheck cancel = progress.AsCancelCheck();
  for (const std::string& profile : profiles) {
    if (!OpenProfile("DeleteNetscapeCache", profile)) continue;
    for (const char* folder : kCacheFolders) {
      if (progress.IsCancelled()) return false;
      progress.Report(dots += '.');
      if (!EraseFileSet(profile + folder + "\\", {}, "*", overwrite, WipePattern::WipeRandom,
                        cancel, tally)) {
        complete = false;
      }
    }
  }
  return complete && !progress.IsCancelled();
}

}  // namespace corvane
