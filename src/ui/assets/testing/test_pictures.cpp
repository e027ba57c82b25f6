#include "ui/assets/testing/test_pictures.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace quarvel::ui::testing {
namespace {

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

bool WritePlainPng(const std::string& path, int width, int height, SDL_Color colour) {
  // One palette entry, one bit per pixel, stored (uncompressed) deflate
  // blocks: small files without an encoder.
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&png](const char* type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    PutBigEndian32(png, static_cast<std::uint32_t>(data.size()));
    png.insert(png.end(), body.begin(), body.end());
    PutBigEndian32(png, Crc32(body.data(), body.size()));
  };
  std::vector<std::uint8_t> header;
  PutBigEndian32(header, static_cast<std::uint32_t>(width));
  PutBigEndian32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {1, 3, 0, 0, 0});  // bit depth 1, palette
  chunk("IHDR", header);
  chunk("PLTE", {colour.r, colour.g, colour.b});

  const std::size_t rowBytes = 1 + (static_cast<std::size_t>(width) + 7) / 8;  // filter byte + pixels
  const std::vector<std::uint8_t> raw(rowBytes * static_cast<std::size_t>(height), 0);
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + length == raw.size();
    zlib.insert(zlib.end(), {static_cast<std::uint8_t>(last ? 1 : 0), static_cast<std::uint8_t>(length),
                             static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(~length),
                             static_cast<std::uint8_t>(~length >> 8)});
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
    at += length;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian32(zlib, (b << 16) | a);
  chunk("IDAT", zlib);
  chunk("IEND", {});

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

bool PadPngTo(const std::string& path, std::uint64_t bytes) {
  std::vector<std::uint8_t> png;
  {
    std::ifstream in(path, std::ios::binary);
    png.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  constexpr std::size_t kIendBytes = 12;
  constexpr std::size_t kChunkOverhead = 12;
  if (png.size() < 8 + kIendBytes || png.size() + kChunkOverhead > bytes) return false;
  // A private, ancillary, safe-to-copy chunk, placed before IEND.
  std::vector<std::uint8_t> chunk;
  const std::size_t payload = bytes - png.size() - kChunkOverhead;
  PutBigEndian32(chunk, static_cast<std::uint32_t>(payload));
  for (char c : std::string("qvPd")) chunk.push_back(static_cast<std::uint8_t>(c));
  chunk.resize(chunk.size() + payload, 0x20);
  PutBigEndian32(chunk, Crc32(chunk.data() + 4, chunk.size() - 4));
  png.insert(png.end() - kIendBytes, chunk.begin(), chunk.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

SDL_Color DrawnPixel(SDL_Renderer* renderer, SDL_Texture* texture, int x, int y) {
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  Uint32 pixel = 0;
  const SDL_Rect rect{x, y, 1, 1};
  SDL_RenderReadPixels(renderer, &rect, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
  return SDL_Color{static_cast<Uint8>(pixel >> 16), static_cast<Uint8>(pixel >> 8), static_cast<Uint8>(pixel), 255};
}

}  // namespace quarvel::ui::testing
