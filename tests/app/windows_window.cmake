# The Windows window under wine on a virtual X screen (Xvfb, xdotool, ImageMagick): the real
# program's title, theme and close mid-run, and a test build with a small workload run from a click
# to its end.
add_executable(strelvik-quick-window WIN32 quick_window_main.cpp)
target_link_options(strelvik-quick-window PRIVATE -municode)
target_link_libraries(strelvik-quick-window PRIVATE strelvik_window strelvik_icon_resources strelvik_warnings)
add_test(NAME window_under_wine
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/window_under_wine.sh $<TARGET_FILE:strelvik-quick-window> $<TARGET_FILE:strelvik>)
set_tests_properties(window_under_wine PROPERTIES LABELS e2e TIMEOUT 240)
add_dependencies(strelvik-quick-window strelvik)
