#include "verify/run_verdict.h"

#include "verify/image_verification.h"

ReferenceWorkload ReferenceWorkload::standard() { return ReferenceWorkload{kStandardWorkload, kStandardImageSha256}; }

bool renders_same_image(const BenchmarkConfig& a, const BenchmarkConfig& b) {
  // The tile size counts: each tile draws from a generator seeded by its index.
  return a.samples_per_pixel == b.samples_per_pixel && a.max_depth == b.max_depth && a.tile_size == b.tile_size &&
         a.width == b.width && a.height == b.height;
}

RunVerdict judge_run(const ReferenceWorkload& workload, const BenchmarkConfig& run, const MachineThreads& machine,
                     std::string_view image_sha256) {
  RunVerdict verdict;
  const bool workload_image = renders_same_image(run, workload.config);
  if (workload_image && !workload.sha256.empty()) verdict.image_verified = image_sha256 == workload.sha256;
  const bool single = run.thread_count == 1;
  const std::int32_t kind_threads = single ? 1 : machine.usable;
  verdict.custom = !workload_image || run.thread_count != kind_threads;
  verdict.may_record = !verdict.custom && verdict.image_verified == true;
  const bool restricted = !single && machine.usable < machine.logical;
  verdict.may_submit = verdict.may_record && !restricted;
  if (verdict.may_record && restricted) {
    verdict.not_submitted_reason = "not submitted: this process may use only " + std::to_string(machine.usable) +
                                   " of the machine's " + std::to_string(machine.logical) + " logical processors";
  }
  return verdict;
}
