# Chooses the operating-system half of every seam: name_win32.cpp on Windows,
# name_posix.cpp elsewhere.
if(WIN32)
  set(QVL_PLATFORM win32)
else()
  set(QVL_PLATFORM posix)
endif()

add_compile_options(-Wall -Wextra)

if(WIN32)
  # C99 printf semantics (%zu, %lld, truncation) from mingw-w64's own stdio.
  add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                          _WIN32_WINNT=0x0601)
  # The product imports only Windows system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # No link time in the PE header: one source gives one executable.
  add_link_options(-Wl,--no-insert-timestamp)
  enable_language(RC)
endif()

# Release builds leave no trace of where they were built: the checkout and
# build directories (and the dependencies) appear as fixed names in
# debug information and in __FILE__. Together with SOURCE_DATE_EPOCH for
# __DATE__ and __TIME__ (scripts/release.sh sets it) two builds of one commit
# are the same bytes.
option(QVL_REPRODUCIBLE "Map build paths to fixed names (the release presets)" OFF)
if(QVL_REPRODUCIBLE)
  foreach(prefix IN ITEMS "${QVL_WIN_DEPS_PREFIX}" "${QVL_NATIVE_DEPS_PREFIX}")
    if(prefix)
      add_compile_options(-ffile-prefix-map=${prefix}=/quarvel/deps)
    endif()
  endforeach()
  # The last matching map wins: the build directory may sit in the checkout.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=/quarvel/src
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}=/quarvel/build)
endif()

# qvl_platform_sources(<target> <name>...): adds <name>_win32.cpp or
# <name>_posix.cpp for each name, from the current source directory.
function(qvl_platform_sources target)
  foreach(name IN LISTS ARGN)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${name}_${QVL_PLATFORM}.cpp)
  endforeach()
endfunction()
