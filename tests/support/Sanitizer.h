#pragma once

namespace kx::test {

// Whether this test program runs under AddressSanitizer (scripts/test.sh --sanitize). The
// sanitizer keeps freed memory in quarantine and pads every allocation, so memory figures
// measured under it describe the sanitizer; tests skip those assertions there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

} // namespace kx::test
