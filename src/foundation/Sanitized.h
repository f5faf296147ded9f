#pragma once
// Whether this build runs under AddressSanitizer (and its leak checker): code that takes memory
// its own way, or leaves it to the system at exit, then does what the checker can follow.

namespace gm {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool AddressSanitized = true;
#else
inline constexpr bool AddressSanitized = false;
#endif
#else
inline constexpr bool AddressSanitized = false;
#endif

} // namespace gm
