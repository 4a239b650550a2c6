# Host-side helper for the parts of Kestrun that run on Windows: each is a small CMake project
# configured with the mingw-w64 tool chain file and built as a step of the normal build.
include(ExternalProject)

set(KESTRUN_TOOLCHAIN_FILE "${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32.cmake")

find_program(KESTRUN_MINGW_CXX i686-w64-mingw32-g++)
find_program(KESTRUN_WINDRES i686-w64-mingw32-windres)
find_program(KESTRUN_OBJDUMP i686-w64-mingw32-objdump)

if(NOT DEFINED TALLOWICK_BUILD_KESTRUN)
  set(TALLOWICK_BUILD_KESTRUN ON)
endif()
if(TALLOWICK_BUILD_KESTRUN AND KESTRUN_MINGW_CXX AND KESTRUN_WINDRES)
  set(KESTRUN_CROSS_BUILD ON)
else()
  set(KESTRUN_CROSS_BUILD OFF)
endif()

# kestrun_add_cross_build(<target> SOURCE_DIR <dir> OUTPUTS <file>... [DEPENDS <target>...]
#                         [CMAKE_ARGS <arg>...])
# Builds the cross project in <dir> into ${CMAKE_CURRENT_BINARY_DIR}/<target>; OUTPUTS are file
# names produced there.
function(kestrun_add_cross_build target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SOURCE_DIR" "OUTPUTS;DEPENDS;CMAKE_ARGS")
  set(binary_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}")
  list(TRANSFORM arg_OUTPUTS PREPEND "${binary_dir}/" OUTPUT_VARIABLE byproducts)
  # The cross-built code gets the host's warning flags (warnings are errors there too).
  if(TARGET tallowick_warnings)
    get_target_property(warnings tallowick_warnings INTERFACE_COMPILE_OPTIONS)
  else()
    set(warnings -Wall -Wextra -Wpedantic -Werror)
  endif()
  ExternalProject_Add(${target}
    SOURCE_DIR "${arg_SOURCE_DIR}"
    BINARY_DIR "${binary_dir}"
    CMAKE_GENERATOR "${CMAKE_GENERATOR}"
    CMAKE_ARGS
      "-DCMAKE_TOOLCHAIN_FILE=${KESTRUN_TOOLCHAIN_FILE}"
      -DCMAKE_BUILD_TYPE=Release
      ${arg_CMAKE_ARGS}
    CMAKE_CACHE_ARGS "-DKESTRUN_WARNING_FLAGS:STRING=${warnings}"
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${byproducts}
    DEPENDS ${arg_DEPENDS})
endfunction()
