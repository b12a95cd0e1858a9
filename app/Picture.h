// Pictures of the window: the back buffer read back and written as PNG.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Width x height RGB pixels of the GL read buffer, rows top to bottom.
std::vector<unsigned char> readWindowPixels(int width, int height);

// Writes rgb (rows top to bottom) as an 8-bit RGB PNG to an open file; false
// where libpng fails (the file is left to the caller).
bool writePng(std::FILE* file, int width, int height, const std::vector<unsigned char>& rgb);

// Creates the first of folder/stem-001.ext, stem-002.ext, ... that does not
// exist yet, never replacing a file; null with the reason in error.
std::FILE* createNumbered(const std::string& folder, const std::string& stem,
                          const std::string& ext, std::string& path, std::string& error);

// The data's name without folder and extension: ch2 for /a/ch2.nii.gz.
std::string dataStem(const std::string& path);
