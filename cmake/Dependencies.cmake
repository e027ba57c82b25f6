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
