// Windows' own gl.h stops at GL 1.1; Mesa's also declares the later
// enumerants and entry-point types, which the program names on both systems.
#pragma once
#include_next <GL/gl.h>
#include <GL/glext.h>
