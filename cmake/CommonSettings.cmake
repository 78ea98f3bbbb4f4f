# Compile settings shared by every target of the project.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# khgl_warnings: the language and warnings alone, for code that runs inside other programs
# (the SQLite extension), which must not need a sanitizer runtime.
add_library(khgl_warnings INTERFACE)
target_compile_features(khgl_warnings INTERFACE cxx_std_20)
target_compile_options(khgl_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Wunused -Woverloaded-virtual -Werror)
target_compile_definitions(khgl_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS QT_NO_CONTEXTLESS_CONNECT
  QT_DISABLE_DEPRECATED_BEFORE=0x060400)
add_library(khgl_settings INTERFACE)
target_link_libraries(khgl_settings INTERFACE khgl_warnings)

# The program's own sources also join strings through QStringBuilder. It stays off the
# interface the libraries hand on, so tests and benchmarks keep their plain QString sums.
add_library(khgl_program_settings INTERFACE)
target_compile_definitions(khgl_program_settings INTERFACE QT_USE_QSTRINGBUILDER)

# -DKHGL_SANITIZE=ON builds everything with AddressSanitizer and UBSan.
option(KHGL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KHGL_SANITIZE)
  target_compile_options(khgl_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(khgl_settings INTERFACE -fsanitize=address,undefined)
endif()
