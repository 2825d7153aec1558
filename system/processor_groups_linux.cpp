// Linux: the standard library counts every processor and the scheduler spreads the workers.
#include "system/processor_groups.h"

WorkerPlacement platform_worker_placement() { return {}; }
