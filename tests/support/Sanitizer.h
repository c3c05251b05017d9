#pragma once
// Address-space limits and peak memory mean nothing under AddressSanitizer,
// which reserves terabytes of shadow memory up front and pads every block.

namespace quorin::test {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool UnderSanitizer = true;
#else
constexpr bool UnderSanitizer = false;
#endif
#else
constexpr bool UnderSanitizer = false;
#endif

} // namespace quorin::test
