// Opening a data file by the name the user typed.
#pragma once
#include <cstdio>

// Opens fileName for reading in binary mode; null when it does not exist,
// cannot be read or is a directory. The name is UTF-8 on Windows (the
// program's code page there) and passed through unchanged elsewhere.
FILE* openForReading(const char* fileName);
