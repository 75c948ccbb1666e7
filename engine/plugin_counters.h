#pragma once
// What a plug-in has counted: items are 32-bit and wrap, bytes are 64-bit. The scan, erase,
// statistics and result pages all read the same record.

#include <cstdint>

namespace corvane {

struct CounterPair {
  std::uint32_t items = 0;
  std::uint64_t bytes = 0;

  // Adds another pair: items wrap at 2^32, bytes at 2^64, as the stored formats hold them.
  void Add(std::uint32_t moreItems, std::uint64_t moreBytes) {
    items += moreItems;
    bytes += moreBytes;
  }
  void Add(const CounterPair& other) { Add(other.items, other.bytes); }
  bool operator==(const CounterPair&) const = default;
};

struct PluginCounters {
  CounterPair erasedTotal;  // everything this plug-in has erased so far
  CounterPair erasedToday;  // what was erased on the day of the last cleanup
  CounterPair current;      // what the running operation has counted
  CounterPair failed;       // what an erase could not remove

  // The copy handed to statistics and the result pages: the failures are the running erase's
  // own business and are not carried out.
  [[nodiscard]] PluginCounters CopyOut() const {
    PluginCounters copy = *this;
    copy.failed = {};
    return copy;
  }
  bool operator==(const PluginCounters&) const = default;
};

}  // namespace corvane
