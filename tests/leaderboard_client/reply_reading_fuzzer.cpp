// Any reply text: read_rows and the submission verdict either succeed or raise one of the
// errors whose text the user sees; nothing else may happen (no crash, no undefined behaviour).
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "leaderboard_client/reply_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    for (const LeaderboardRow& row : read_rows(text)) {
      if (row.cpu.size() > size) __builtin_trap();
    }
  } catch (const nlohmann::json::exception&) {
  } catch (const std::out_of_range&) {}
  try {
    check_submission_reply(text);
  } catch (const nlohmann::json::exception&) {
  } catch (const std::runtime_error&) {}
  return 0;
}
