# Third-party libraries behind two targets of our own, so the code links the
# same names on both platforms:
#   qvl_sdl       SDL2 with SDL_image and SDL_ttf
#   qvl_sdl_main  SDL's start-up code, for the product's executable only
#   qvl_curl      libcurl
# Windows: static libraries from scripts/build-win-deps.sh (QVL_WIN_DEPS_PREFIX).
# Linux: Debian's shared libraries.
find_package(SDL2 CONFIG REQUIRED)
find_package(SDL2_image CONFIG REQUIRED)
find_package(SDL2_ttf CONFIG REQUIRED)

add_library(qvl_sdl INTERFACE)
add_library(qvl_sdl_main INTERFACE)
add_library(qvl_curl INTERFACE)

if(WIN32)
  find_package(CURL CONFIG REQUIRED)
  # SDL imports from VERSION and WINMM, which are not Known DLLs: Windows
  # resolves static imports before any of our code runs, looking in the
  # executable's folder (the game's, writable by players) first. Delay-loaded,
  # they are loaded at first use, after start-up has restricted the search to
  # the system directory.
  find_program(QVL_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool dlltool REQUIRED)
  set(delay_load_libraries "")
  foreach(dll version winmm)
    set(def ${PROJECT_SOURCE_DIR}/cmake/delay-load/${dll}.def)
    set(library ${CMAKE_BINARY_DIR}/delay-load/lib${dll}_delayed.a)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay-load)
    # dlltool names the library's symbols after the output path it is given:
    # a bare file name keeps the build directory out of the executable, so
    # that two build directories link the same bytes.
    execute_process(COMMAND ${QVL_DLLTOOL} --input-def ${def} --output-delaylib lib${dll}_delayed.a
                    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/delay-load
                    RESULT_VARIABLE made)
    if(NOT made EQUAL 0)
      message(FATAL_ERROR "dlltool could not make the delay-load library of ${dll}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    list(APPEND delay_load_libraries ${library})
  endforeach()
  # CMake writes SDL's own link libraries right behind it, so the delay-load
  # libraries go at their head: a place after SDL alone would come too late.
  get_target_property(sdl_libraries SDL2::SDL2-static INTERFACE_LINK_LIBRARIES)
  if(NOT sdl_libraries)
    set(sdl_libraries "")
  endif()
  set_target_properties(SDL2::SDL2-static PROPERTIES
    INTERFACE_LINK_LIBRARIES "${delay_load_libraries};${sdl_libraries}")
  target_link_libraries(qvl_sdl INTERFACE
    SDL2_ttf::SDL2_ttf-static SDL2_image::SDL2_image-static SDL2::SDL2-static)
  target_link_libraries(qvl_sdl_main INTERFACE SDL2::SDL2main)
  target_link_libraries(qvl_curl INTERFACE CURL::libcurl)
else()
  find_package(CURL REQUIRED)
  target_link_libraries(qvl_sdl INTERFACE SDL2_ttf::SDL2_ttf SDL2_image::SDL2_image SDL2::SDL2)
  target_link_libraries(qvl_curl INTERFACE CURL::libcurl)
  find_package(X11 REQUIRED)
  if(NOT TARGET X11::XRes)
    message(FATAL_ERROR "The X-Resource extension's library is missing (Debian: libxres-dev)")
  endif()
endif()
