// Smoke test for the static dependencies: links all of them and, when run
// (natively, or under Wine), exercises each one without a display or network.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <curl/curl.h>

#include <cstdio>
#include <string>
#include <string_view>

#ifndef CURL_STATICLIB
#error "CURL::libcurl must define CURL_STATICLIB for a static libcurl"
#endif

namespace {

// 2x1 RGB PNG: one red pixel, one blue pixel.
constexpr unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
    0x00, 0x7b, 0x40, 0xe8, 0xdd, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
    0xda, 0x63, 0xf8, 0xcf, 0x00, 0x04, 0xff, 0x01, 0x07, 0x00, 0x01, 0xff, 0x3d, 0x7d,
    0x8c, 0x49, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

bool fail(const char* what) {
    std::fprintf(stderr, "deps_check: %s: %s\n", what, SDL_GetError());
    return false;
}

std::string version(const SDL_version& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

bool check_png() {
    SDL_Surface* image = IMG_Load_RW(SDL_RWFromConstMem(kPng, sizeof kPng), 1);
    if (!image) return fail("PNG decode");
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(image);
    if (!rgba) return fail("PNG convert");
    const auto* px = static_cast<const unsigned char*>(rgba->pixels);
    const bool ok = rgba->w == 2 && rgba->h == 1 && px[0] == 0xff && px[1] == 0 && px[6] == 0xff;
    SDL_FreeSurface(rgba);
    if (!ok) std::fprintf(stderr, "deps_check: PNG pixels decoded wrongly\n");
    return ok;
}

bool check_software_renderer() {
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 4, 4, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!target) return fail("surface");
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    const bool ok = renderer && SDL_SetRenderDrawColor(renderer, 0, 255, 0, 255) == 0 &&
                    SDL_RenderClear(renderer) == 0;
    if (renderer) SDL_DestroyRenderer(renderer);
    const auto first = *static_cast<const Uint32*>(target->pixels);
    SDL_FreeSurface(target);
    if (!ok) return fail("software renderer");
    return first == 0xff00ff00u;
}

bool check_curl() {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    const std::string_view tls = info->ssl_version ? info->ssl_version : "";
    bool https = false;
    for (const char* const* p = info->protocols; *p; ++p) https = https || std::string_view(*p) == "https";
    CURL* easy = curl_easy_init();
    const bool ok = easy && tls.find(QVL_TLS_BACKEND) != std::string_view::npos && https;
    curl_easy_cleanup(easy);
    curl_global_cleanup();
    if (!ok) std::fprintf(stderr, "deps_check: libcurl lacks " QVL_TLS_BACKEND " HTTPS (%s)\n", curl_version());
    return ok;
}

}  // namespace

int main(int, char**) {
    SDL_version sdl;
    SDL_GetVersion(&sdl);
    int ft_major = 0, ft_minor = 0, ft_patch = 0;
    if (TTF_Init() != 0) {
        fail("TTF_Init");
        return 1;
    }
    TTF_GetFreeTypeVersion(&ft_major, &ft_minor, &ft_patch);
    std::printf("SDL %s, SDL_ttf %s, FreeType %d.%d.%d, SDL_image %s, %s\n", version(sdl).c_str(),
                version(*TTF_Linked_Version()).c_str(), ft_major, ft_minor, ft_patch,
                version(*IMG_Linked_Version()).c_str(), curl_version());
    const bool ok = check_png() && check_software_renderer() && check_curl();
    TTF_Quit();
    std::puts(ok ? "deps_check: ok" : "deps_check: FAILED");
    return ok ? 0 : 1;
}
