#pragma once
// Workers on a machine whose processors come in several groups (Windows: more than 64 logical
// processors). A thread runs within one group, so each worker is bound to one: round-robin over
// the groups that still have a processor without a worker, so that every processor gets a
// worker before any gets a second and groups of different sizes fill evenly.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/worker_placement.h"

// The group of worker `worker_index` given each group's processor count (a non-empty list; a
// group of 0 processors never gets a worker unless all are empty). Beyond the total, the
// assignment starts over.
std::uint32_t group_for_worker(std::int32_t worker_index, const std::vector<std::uint32_t>& group_sizes);

// Binds the calling thread to a processor group; the platform's call, or a test's record.
using GroupBinder = std::function<void(std::uint32_t group)>;

// The placement over groups of these sizes: with two or more, every processor counted and each
// worker bound to the group group_for_worker names; with fewer, none.
WorkerPlacement placement_over_groups(const std::vector<std::uint32_t>& group_sizes, GroupBinder bind);

// This machine's placement, for each program's BenchmarkEngine: over the processor groups where
// the standard library does not see every processor, none otherwise.
WorkerPlacement platform_worker_placement();
