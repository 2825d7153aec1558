# The runner's `info` and `history` commands. Included from cli/CMakeLists.txt.
find_package(nlohmann_json 3.11 REQUIRED)
add_library(strelvik_cli_commands STATIC
  ${CMAKE_CURRENT_LIST_DIR}/info_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/history_command.cpp
)
target_include_directories(strelvik_cli_commands PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(strelvik_cli_commands
  PUBLIC strelvik_system strelvik_history
  PRIVATE nlohmann_json::nlohmann_json strelvik_warnings)
