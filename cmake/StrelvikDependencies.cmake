# Every dependency is looked up here, once, with one minimum version; the folders only link the
# targets. All come from Debian's packages (scripts/deps/*.txt).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# Header-only libraries every program uses.
find_package(nlohmann_json 3.11 REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)

# Platform services: hashing, HTTPS, graphics adapters.
find_package(OpenSSL REQUIRED COMPONENTS Crypto SSL)
pkg_check_modules(LIBCURL REQUIRED IMPORTED_TARGET libcurl>=7.87)
pkg_check_modules(LIBPCI REQUIRED IMPORTED_TARGET libpci)
find_path(VULKAN_HEADERS_DIR vulkan/vulkan_core.h)
if(NOT VULKAN_HEADERS_DIR)
  message(FATAL_ERROR "Vulkan headers not found: install libvulkan-dev (scripts/install-deps.sh)")
endif()

# The leaderboard server.
pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib>=0.11)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
# Unicode character categories for the processor-name rules.
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET icu-uc)
find_package(PostgreSQL REQUIRED)

# The window.
find_package(glfw3 3.3 REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui>=1.86)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)

if(STRELVIK_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
