// Linux: the standard library counts every processor and the scheduler spreads a multi-core
// run's workers; the one-core runs are bound to the fastest core (system/core_placement.h).
#include "system/core_placement.h"
#include "system/processor_groups.h"

WorkerPlacement platform_worker_placement() {
  return with_one_core_placement({}, this_machine_single_placement(), this_machine_smt_placement());
}
