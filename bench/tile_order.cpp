// The queue order of the standard image's tiles, and what it costs a many-core run at its end.
//
//   bench_tile_order                 simulated efficiency of the current order and of row-major
//   bench_tile_order --print-order   the current queue order, one tile index per line
//
// The simulation replays the pool over the counted tile costs (engine/standard_tile_costs.cpp):
// n workers, each taking the next queued tile as soon as it is free. The loss is the share of
// the score given up to idle workers: 1 - (total cost / n) / makespan.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <queue>
#include <vector>

#include "engine/standard_tile_costs.h"
#include "engine/tile_order.h"

namespace {

double simulated_loss(const std::vector<std::int32_t>& order, int workers) {
  std::priority_queue<std::uint64_t, std::vector<std::uint64_t>, std::greater<>> free_at;
  for (int w = 0; w < workers; ++w) {
    free_at.push(0);
  }
  std::uint64_t total = 0;
  std::uint64_t makespan = 0;
  for (std::int32_t index : order) {
    const std::uint64_t finish = free_at.top() + kStandardTileCosts[index];
    free_at.pop();
    free_at.push(finish);
    total += kStandardTileCosts[index];
    makespan = std::max(makespan, finish);
  }
  return makespan == 0 ? 0.0 : 1.0 - static_cast<double>(total) / workers / static_cast<double>(makespan);
}

struct Worst {
  int workers = 0;
  double loss = 0.0;
};

Worst worst_up_to(const std::vector<std::int32_t>& order, int max_workers) {
  Worst worst;
  for (int n = 1; n <= max_workers; ++n) {
    const double loss = simulated_loss(order, n);
    if (loss > worst.loss) {
      worst = Worst{n, loss};
    }
  }
  return worst;
}

void print_row(const char* name, const std::vector<std::int32_t>& order, const std::vector<int>& columns) {
  std::printf("%-22s", name);
  for (int n : columns) {
    std::printf(" %6.1f%%", simulated_loss(order, n) * 100.0);
  }
  const Worst w128 = worst_up_to(order, 128);
  const Worst w256 = worst_up_to(order, 256);
  std::printf("   worst <=128: %.2f%% at %d, worst <=256: %.2f%% at %d\n", w128.loss * 100.0, w128.workers,
              w256.loss * 100.0, w256.workers);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::int32_t>& current = standard_tile_order();
  if (argc > 1 && std::strcmp(argv[1], "--print-order") == 0) {
    for (std::int32_t index : current) {
      std::printf("%d\n", index);
    }
    return 0;
  }
  std::vector<std::int32_t> row_major(kStandardTileCount);
  std::iota(row_major.begin(), row_major.end(), 0);

  const std::vector<int> columns = {16, 32, 64, 96, 104, 112, 128, 192, 256};
  std::printf("score lost to idle workers at the end of a run (simulated FIFO pool, %zu tiles)\n", kStandardTileCount);
  std::printf("%-22s", "threads");
  for (int n : columns) {
    std::printf(" %7d", n);
  }
  std::printf("\n");
  print_row("current order", current, columns);
  print_row("row-major", row_major, columns);
  return 0;
}
