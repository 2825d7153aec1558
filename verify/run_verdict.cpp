#include "verify/run_verdict.h"

#include "verify/image_verification.h"

ReferenceWorkload ReferenceWorkload::standard() { return ReferenceWorkload{kStandardWorkload, kStandardImageSha256}; }

std::int32_t standard_threads(RunKind kind, const MachineThreads& machine) {
  switch (kind) {
    case RunKind::single: return 1;
    case RunKind::smt: return machine.smt;
    case RunKind::multi: return machine.usable;
  }
  return machine.usable;  // unreachable: every kind is listed above
}

namespace {

// A multi-core run is meant to use the whole machine, a one-core run its fastest core: each is
// not the standard run when this process may not use those processors.
std::string restriction_reason(RunKind kind, const MachineThreads& machine) {
  switch (kind) {
    case RunKind::single:
    case RunKind::smt: return machine.one_core_not_standard_reason;
    case RunKind::multi:
      if (machine.usable >= machine.logical) return {};
      return "not submitted: this process may use only " + std::to_string(machine.usable) + " of the machine's " +
             std::to_string(machine.logical) + " logical processors";
  }
  return {};  // unreachable: every kind is listed above
}

}  // namespace

RunVerdict judge_run(const ReferenceWorkload& reference, const RunRequest& run, const MachineThreads& machine,
                     std::string_view image_sha256) {
  RunVerdict verdict;
  // The thread count never changes the image, so the workload alone decides what it must be.
  const bool reference_image = run.workload == reference.workload;
  if (reference_image && !reference.sha256.empty()) verdict.image_verified = image_sha256 == reference.sha256;
  verdict.custom = !reference_image || run.threads != standard_threads(run.kind, machine);
  verdict.may_record = !verdict.custom && verdict.image_verified == true;
  const std::string restricted = restriction_reason(run.kind, machine);
  verdict.may_submit = verdict.may_record && restricted.empty();
  if (verdict.may_record) verdict.not_submitted_reason = restricted;
  verdict.may_compare = verdict.may_submit;
  return verdict;
}
