#pragma once
// Counting and deleting registry values whose names match a simple pattern, in one key or in a
// whole tree, for the cleaners that erase registry traces; and the display names of the roots.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/deletion_tally.h"
#include "platform/registry.h"

namespace corvane {

// Pattern match on value names. The pattern is literal pieces separated by runs of "*"; a "*"
// stands for at least one character; "?" is an ordinary character; case matters. The first
// occurrence of each piece is taken, with no backtracking, so "*b" does not match "abab".
// An empty name matches only the empty pattern; the empty pattern matches every other name.
[[nodiscard]] bool MatchWildcard(std::string_view name, std::string_view pattern);

// Told each matching value: the key path (below the root the count began at) and the name.
using MatchingValueSink = std::function<void(std::string_view keyPath, std::string_view name)>;

// Adds the number of matching values of root\keyPath to `counter`, telling `found` (when given)
// each one; false when the key cannot be opened.
[[nodiscard]] bool CountMatchingValues(HKEY root, std::string_view keyPath,
                                       std::string_view pattern, std::uint32_t& counter,
                                       const MatchingValueSink& found = {});
// The same over the key and every key below it; false when anything failed or `cancel` (which
// may be empty) stopped the walk.
[[nodiscard]] bool CountMatchingValuesInTree(HKEY root, std::string_view keyPath,
                                             std::string_view pattern, std::uint32_t& counter,
                                             const CancelCheck& cancel,
                                             const MatchingValueSink& found = {});

// Deletes the matching values of root\keyPath, adding one to `deleted` per value and, when given,
// one to `notDeleted` per matching value that stayed (a read-only hive); false when the key
// cannot be opened or a deletion failed.
[[nodiscard]] bool DeleteMatchingValues(HKEY root, std::string_view keyPath,
                                        std::string_view pattern, std::uint32_t& deleted,
                                        std::uint32_t* notDeleted = nullptr);
// The same over the whole tree; every key left with neither values nor sub-keys is removed, the
// top key included. Each key's deletions go to `tally` (may be null) as items with 0 bytes, and
// the matching values that stayed as failed items. False when anything failed or `cancel` (may be
// empty) stopped the walk.
[[nodiscard]] bool DeleteMatchingValuesInTree(HKEY root, std::string_view keyPath,
                                              std::string_view pattern, const CancelCheck& cancel,
                                              DeletionTally* tally);

// "HKEY_LOCAL_MACHINE" and the like for the predefined roots; empty for any other handle.
[[nodiscard]] std::string RegistryRootName(HKEY root);

}  // namespace corvane
