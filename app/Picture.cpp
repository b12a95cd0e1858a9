#include "app/Picture.h"

#include <GL/gl.h>
#include <cerrno>
#include <cstring>
#include <png.h>

std::vector<unsigned char> readWindowPixels(int width, int height) {
    std::vector<unsigned char> rgb(size_t(width) * height * 3), row(size_t(width) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    for (int y = 0; y < height / 2; ++y) { // GL's rows run bottom to top
        unsigned char* top = &rgb[row.size() * y];
        unsigned char* bottom = &rgb[row.size() * (height - 1 - y)];
        std::memcpy(row.data(), top, row.size());
        std::memcpy(top, bottom, row.size());
        std::memcpy(bottom, row.data(), row.size());
    }
    return rgb;
}

bool writePng(std::FILE* file, int width, int height, const std::vector<unsigned char>& rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) { // libpng's errors come back here
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, &rgb[size_t(y) * width * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file) == 0;
}

std::FILE* createNumbered(const std::string& folder, const std::string& stem,
                          const std::string& ext, std::string& path, std::string& error) {
    for (int n = 1; n < 1000000; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "-%03d", n);
        path = (folder.empty() ? "" : folder + "/") + stem + number + ext;
        // "x": fails where the file exists, so nothing is ever replaced.
        if (std::FILE* file = std::fopen(path.c_str(), "wbx")) return file;
        if (errno != EEXIST) {
            error = std::strerror(errno);
            return nullptr;
        }
    }
    error = "every number is taken";
    return nullptr;
}

std::string dataStem(const std::string& path) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') // a DICOM folder
        name.pop_back();
    name = name.substr(name.find_last_of('/') + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0)
        name.resize(name.size() - 3);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? "skorel" : name;
}
