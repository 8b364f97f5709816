// The SSE2 forms of the reader's loops, wherever the compiler targets SSE2, unless
// the build asks for the portable forms (QUILLET_NO_SSE2): those are what
// processors without SSE2 run, so the tests build them too.
#ifndef QUILLET_REPORT_READER_SIMD_H
#define QUILLET_REPORT_READER_SIMD_H

#if defined(__SSE2__) && !defined(QUILLET_NO_SSE2)
#define QUILLET_READER_SSE2 1
#include <emmintrin.h>
#endif

#endif
