#include "verify/run_verdict.h"

#include "verify/image_verification.h"

ReferenceWorkload ReferenceWorkload::standard() { return ReferenceWorkload{kStandardWorkload, kStandardImageSha256}; }

std::int32_t standard_threads(RunKind kind, const MachineThreads& machine) {
  switch (kind) {
    case RunKind::single: return 1;
    case RunKind::multi: return machine.usable;
  }
  return machine.usable;  // unreachable: every kind is listed above
}

namespace {

// Only a multi-core run can be refused part of the machine: it is meant to use all of it.
bool uses_whole_machine(RunKind kind) {
  switch (kind) {
    case RunKind::single: return false;
    case RunKind::multi: return true;
  }
  return true;  // unreachable: every kind is listed above
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
  const bool restricted = uses_whole_machine(run.kind) && machine.usable < machine.logical;
  verdict.may_submit = verdict.may_record && !restricted;
  verdict.may_compare = verdict.may_submit;
  if (verdict.may_record && restricted) {
    verdict.not_submitted_reason = "not submitted: this process may use only " + std::to_string(machine.usable) +
                                   " of the machine's " + std::to_string(machine.logical) + " logical processors";
  }
  return verdict;
}
