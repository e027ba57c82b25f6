#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

// Little-endian reads from a range of bytes that fail instead of reading past
// its end. Offsets are 64-bit, so that a 32-bit offset plus a 32-bit length
// taken from an image can never wrap around.
namespace quarvel::launcher {

static_assert(std::endian::native == std::endian::little, "images are read in the host's byte order");

class cByteReader {
 public:
  explicit cByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t Size() const { return bytes_.size(); }
  const std::uint8_t* Data() const { return bytes_.data(); }

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  template <class T>
  bool Read(std::uint64_t offset, T& value) const {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!Has(offset, sizeof(T))) return false;
    std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return true;
  }

  // The zero-terminated text at `offset` whose terminator lies inside the
  // bytes; false otherwise.
  bool String(std::uint64_t offset, std::string_view& text) const {
    if (offset >= bytes_.size()) return false;
    const auto* begin = bytes_.data() + offset;
    const void* end = std::memchr(begin, 0, bytes_.size() - offset);
    if (end == nullptr) return false;
    text = std::string_view(reinterpret_cast<const char*>(begin),
                            static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - begin));
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace quarvel::launcher
