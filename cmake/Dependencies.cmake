# Third-party libraries behind two targets of our own, so the code links the
# same names on both platforms:
#   qvl_sdl       SDL2 with SDL_image and SDL_ttf
#   qvl_sdl_main  SDL's start-up code, for the product's executable only
#   qvl_curl      libcurl
# Both platforms link static libraries from scripts/build-deps.sh: Windows
# from QVL_WIN_DEPS_PREFIX (the toolchain file searches it), Linux from
# QVL_NATIVE_DEPS_PREFIX. Natively a distribution's shared SDL2 and libcurl
# would load about a hundred libraries of their own into every start (and need
# installing on players' machines).
if(NOT WIN32)
  set(QVL_NATIVE_DEPS_PREFIX "" CACHE PATH "Static SDL2, SDL2_image, SDL2_ttf and libcurl (scripts/build-deps.sh linux64)")
  if(NOT QVL_NATIVE_DEPS_PREFIX OR NOT EXISTS "${QVL_NATIVE_DEPS_PREFIX}/lib/cmake/SDL2/SDL2Config.cmake")
    message(FATAL_ERROR "No native dependencies in QVL_NATIVE_DEPS_PREFIX ('${QVL_NATIVE_DEPS_PREFIX}'). "
                        "Build them (cached outside the checkout) and configure again:\n"
                        "  export QVL_NATIVE_DEPS_PREFIX=$(scripts/build-deps.sh linux64 | tail -n 1)")
  endif()
  # Only from the prefix, found again on every configure: a location cached
  # earlier (the system's, or an older prefix) must not stand in.
  foreach(package SDL2 SDL2_image SDL2_ttf CURL)
    unset(${package}_DIR CACHE)
    find_package(${package} CONFIG REQUIRED PATHS "${QVL_NATIVE_DEPS_PREFIX}" NO_DEFAULT_PATH)
  endforeach()
else()
  find_package(SDL2 CONFIG REQUIRED)
  find_package(SDL2_image CONFIG REQUIRED)
  find_package(SDL2_ttf CONFIG REQUIRED)
  find_package(CURL CONFIG REQUIRED)
endif()

add_library(qvl_sdl INTERFACE)
add_library(qvl_sdl_main INTERFACE)
add_library(qvl_curl INTERFACE)

target_link_libraries(qvl_sdl INTERFACE
  SDL2_ttf::SDL2_ttf-static SDL2_image::SDL2_image-static SDL2::SDL2-static)
target_link_libraries(qvl_curl INTERFACE CURL::libcurl)

if(WIN32)
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
  target_link_libraries(qvl_sdl_main INTERFACE SDL2::SDL2main)
else()
  find_package(X11 REQUIRED)
  if(NOT TARGET X11::XRes)
    message(FATAL_ERROR "The X-Resource extension's library is missing (Debian: libxres-dev)")
  endif()
endif()
