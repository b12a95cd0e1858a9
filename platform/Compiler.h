// Compiler-specific annotations behind portable names.
#pragma once

// Lets the compiler check printf-style arguments: f is the position of the
// format string, a that of the first argument (counting `this`).
// MinGW's C++ library uses its own C99 printf, hence gnu_printf there.
#if defined(__MINGW32__)
#define PRINTF_LIKE(f, a) __attribute__((__format__(__gnu_printf__, f, a)))
#elif defined(__GNUC__)
#define PRINTF_LIKE(f, a) __attribute__((__format__(__printf__, f, a)))
#else
#define PRINTF_LIKE(f, a)
#endif
