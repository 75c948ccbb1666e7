#pragma once
// What an erase routine reports as it goes: items and bytes erased, and those it could not erase.
// Cleaners hand one to the file and registry routines; a plug-in's tally adds to its counters,
// a free-standing accumulator is read by the cleaner when its run ends.

#include <cstdint>
#include <functional>
#include <string_view>

namespace corvane {

struct TallyRecord {
  std::uint32_t items = 0;
  std::uint64_t bytes = 0;
};

class DeletionTally {
 public:
  virtual ~DeletionTally() = default;
  virtual void AddDone(const TallyRecord& record) = 0;
  virtual void AddFailed(const TallyRecord& record) = 0;
  // A file that could not be deleted now was registered for deletion at the next system start:
  // whoever owns the tally may want to offer a restart. Ignored unless overridden.
  virtual void AddScheduledAtRestart(std::string_view /*path*/) {}
};

// The free-standing tally: two running totals, both starting at zero. Items wrap at 32 bits.
class DeletionAccumulator final : public DeletionTally {
 public:
  void AddDone(const TallyRecord& record) override { Add(erased_, record); }
  void AddFailed(const TallyRecord& record) override { Add(notErased_, record); }
  void AddScheduledAtRestart(std::string_view) override { ++scheduledAtRestart_; }
  [[nodiscard]] const TallyRecord& Erased() const { return erased_; }
  [[nodiscard]] const TallyRecord& NotErased() const { return notErased_; }
  // How many files were left for deletion at the next system start.
  [[nodiscard]] std::uint32_t ScheduledAtRestart() const { return scheduledAtRestart_; }

 private:
  static void Add(TallyRecord& total, const TallyRecord& record) {
    total.items += record.items;
    total.bytes += record.bytes;
  }

  TallyRecord erased_;
  TallyRecord notErased_;
  std::uint32_t scheduledAtRestart_ = 0;
};

// Asked by every long routine between steps: true when the user cancelled the run.
using CancelCheck = std::function<bool()>;

}  // namespace corvane
