#pragma once

// The one switch for the reader's SSE2 paths: on where the compiler targets
// SSE2, off with VELTRIM_NO_SIMD, which builds their scalar twins so that
// the tests can run those too.
#if defined(__SSE2__) && !defined(VELTRIM_NO_SIMD)
#define VELTRIM_USE_SSE2 1
#include <emmintrin.h>
#endif
