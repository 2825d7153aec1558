#pragma once
// Workers on a machine whose processors come in several groups (Windows: more than 64 logical
// processors). A thread runs within one group, so each worker is bound to one: round-robin over
// the groups that still have a processor without a worker, so that every processor gets a
// worker before any gets a second and groups of different sizes fill evenly.
#include <cstdint>
#include <vector>

// The group of worker `worker_index` given each group's processor count (a non-empty list; a
// group of 0 processors never gets a worker unless all are empty). Beyond the total, the
// assignment starts over.
std::uint32_t group_for_worker(std::int32_t worker_index, const std::vector<std::uint32_t>& group_sizes);

// Gives the engine this machine's thread count and worker hook (engine/worker_placement.h)
// where the standard library does not see every processor; nothing otherwise. Call once at
// start-up, before any run.
void install_worker_placement();
