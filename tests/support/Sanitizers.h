#pragma once

// AddressSanitizer, which clang announces only through __has_feature, makes every allocation some
// fifteen times dearer: the sweeps of damaged files take a sample there.
#ifndef __has_feature
#define __has_feature(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool UNDER_ADDRESS_SANITIZER = true;
#else
constexpr bool UNDER_ADDRESS_SANITIZER = false;
#endif
