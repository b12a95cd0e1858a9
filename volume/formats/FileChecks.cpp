// Where each format keeps its samples (from the header's own text or fields),
// then the file's length, or the compressed stream's, against the samples.
#include "volume/formats/FileChecks.h"

#include "platform/File.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool fileSize(const std::string& path, uint64_t& size) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size = uint64_t(info.st_size);
    return true;
}

// The first bytes of a file, as far as text headers reach in practice.
std::string head(const std::string& path, size_t most = size_t(1) << 16) {
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    std::string text(most, '\0');
    text.resize(file ? std::fread(&text[0], 1, most, file.get()) : 0);
    return text;
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    const size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// vox_offset of a NIfTI-1 or Analyze header (348 bytes, either byte order),
// read through zlib so that a gzip header reads the same.
bool niftiOffset(const std::string& header, uint64_t& offset) {
    const gzFile file = gzopen(header.c_str(), "rb");
    if (!file) return false;
    unsigned char bytes[112];
    const bool whole = gzread(file, bytes, sizeof bytes) == int(sizeof bytes);
    gzclose(file);
    if (!whole) return false;
    for (bool swap : {false, true}) {
        const auto field = [&](int at) {
            uint32_t v = 0;
            for (int i = 0; i < 4; ++i)
                v |= uint32_t(bytes[at + (swap ? 3 - i : i)]) << (8 * i);
            return v;
        };
        if (field(0) != 348) continue;
        const uint32_t bits = field(108);
        float value;
        std::memcpy(&value, &bits, 4);
        offset = value > 0 && value < 1e12f ? uint64_t(value) : 0;
        return true;
    }
    return false;
}

// A single file (.nii, .nii.gz) or a pair (.hdr and .img, either gzipped).
DataPlace niftiPlace(const std::string& path) {
    DataPlace place;
    place.storage = Storage::unknown;
    std::string header = path;
    place.file = path;
    for (const char* suffix : {".hdr.gz", ".img.gz", ".hdr", ".img"}) {
        if (!endsWith(path, suffix)) continue;
        const std::string stem = path.substr(0, path.size() - std::strlen(suffix));
        uint64_t size;
        header = fileSize(stem + ".hdr", size) ? stem + ".hdr" : stem + ".hdr.gz";
        place.file = fileSize(stem + ".img", size) ? stem + ".img" : stem + ".img.gz";
        break;
    }
    uint64_t offset = 0;
    if (!niftiOffset(header, offset)) return place;
    if (endsWith(place.file, ".gz"))
        place.storage = Storage::gzip, place.skip = offset;
    else
        place.storage = Storage::raw, place.offset = offset;
    return place;
}

// "key: value" (NRRD) or "Key = Value" (MetaImage) lines up to the end of the
// header; the samples' byte is where the header text ends.
struct TextHeader {
    std::vector<std::pair<std::string, std::string>> fields;
    uint64_t end = 0; // bytes of header text, the line that ends it included
    std::string value(const std::string& key) const {
        for (const auto& f : fields)
            if (f.first == key) return f.second;
        return std::string();
    }
};

// NRRD: fields until an empty line; MetaImage: until ElementDataFile.
TextHeader textHeader(const std::string& text, const char* separator, const char* lastKey) {
    TextHeader h;
    size_t at = 0;
    while (at < text.size()) {
        size_t eol = text.find('\n', at);
        if (eol == std::string::npos) eol = text.size();
        const std::string line = trim(text.substr(at, eol - at));
        at = std::min(text.size(), eol + 1);
        if (line.empty() && !lastKey) break;
        const size_t split = line.find(separator);
        if (split == std::string::npos) continue;
        std::string key = trim(line.substr(0, split));
        for (char& c : key)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        h.fields.emplace_back(key, trim(line.substr(split + std::strlen(separator))));
        if (lastKey && key == lastKey) break;
    }
    h.end = at;
    return h;
}

uint64_t number(const std::string& text, uint64_t fallback) {
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' && v >= 0 ? uint64_t(v) : fallback;
}

DataPlace nrrdPlace(const std::string& path) {
    DataPlace place;
    place.storage = Storage::unknown;
    const TextHeader h = textHeader(head(path), ":", nullptr);
    std::string data = h.value("data file");
    if (data.empty()) data = h.value("datafile");
    const std::string encoding = h.value("encoding");
    const uint64_t byteSkip = number(h.value("byte skip"), 0);
    if (number(h.value("line skip"), 0) != 0 || h.value("byte skip") == "-1") return place;
    if (data.empty())
        place.file = path, place.offset = h.end;
    else if (data.find(' ') != std::string::npos || data.find('%') != std::string::npos)
        return place; // a list or a pattern of files
    else
        place.file = data[0] == '/' ? data : folderOf(path) + data;
    if (encoding == "raw")
        place.storage = Storage::raw, place.offset += byteSkip;
    else if (encoding == "gzip" || encoding == "gz")
        place.storage = Storage::gzip, place.skip = byteSkip;
    return place;
}

DataPlace metaPlace(const std::string& path) {
    DataPlace place;
    place.storage = Storage::unknown;
    const TextHeader h = textHeader(head(path), "=", "elementdatafile");
    const std::string data = h.value("elementdatafile");
    if (data.empty()) return place;
    if (data == "LOCAL") {
        place.file = path, place.offset = h.end;
    } else if (data.find(' ') != std::string::npos || data.find('%') != std::string::npos ||
               data == "LIST") {
        return place;
    } else {
        place.file = data[0] == '/' ? data : folderOf(path) + data;
        const std::string skip = h.value("headersize");
        if (skip == "-1") return place; // the samples end the file
        place.offset = number(skip, 0);
    }
    const std::string compressed = h.value("compresseddata");
    const bool zlib = compressed == "True" || compressed == "true" || compressed == "1";
    place.storage = zlib ? Storage::zlib : Storage::raw;
    if (zlib) place.compressedBytes = number(h.value("compresseddatasize"), 0);
    return place;
}

// Legacy VTK: binary samples follow the LOOKUP_TABLE line of the SCALARS.
DataPlace vtkPlace(const std::string& path) {
    DataPlace place;
    place.storage = Storage::unknown;
    const std::string text = head(path);
    if (text.find("\nBINARY") == std::string::npos) return place;
    const size_t scalars = text.find("\nSCALARS");
    const size_t table = text.find("\nLOOKUP_TABLE", scalars == std::string::npos ? 0 : scalars);
    const size_t eol = table == std::string::npos ? table : text.find('\n', table + 1);
    if (scalars == std::string::npos || eol == std::string::npos) return place;
    place.file = path, place.offset = eol + 1, place.storage = Storage::raw;
    return place;
}

// Inflates the stream from the file's byte `offset` (zlib or gzip, gzip
// members one after another); false when it ends before its end marker.
bool inflatedBytes(const std::string& path, uint64_t offset, uint64_t& produced, std::string& why) {
    produced = 0;
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), long(offset), SEEK_SET) != 0) return false;
    z_stream z = {};
    if (inflateInit2(&z, 15 + 32) != Z_OK) return false;
    std::vector<unsigned char> in(1 << 16), out(1 << 16);
    int status = Z_OK;
    bool ended = false;
    while (true) {
        if (z.avail_in == 0) {
            z.avail_in = uInt(std::fread(in.data(), 1, in.size(), file.get()));
            z.next_in = in.data();
            if (z.avail_in == 0) break;
        }
        z.next_out = out.data(), z.avail_out = uInt(out.size());
        status = inflate(&z, Z_NO_FLUSH);
        produced += out.size() - z.avail_out;
        if (status == Z_STREAM_END) {
            ended = true;
            if (z.avail_in == 0) {
                const int c = std::fgetc(file.get());
                if (c == EOF) break;
                std::ungetc(c, file.get());
            }
            if (z.avail_in > 0 && z.next_in[0] != 0x1f) break; // no further gzip member
            inflateReset(&z);
            ended = false;
            continue;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            why = z.msg ? z.msg : "invalid compressed data";
            break;
        }
    }
    inflateEnd(&z);
    return ended;
}

std::string bytesMissing(const std::string& file, uint64_t missing, uint64_t wanted,
                         const char* what) {
    char text[160];
    std::snprintf(text, sizeof text, " is cut short: %llu of %llu bytes of %s are missing",
                  static_cast<unsigned long long>(missing), static_cast<unsigned long long>(wanted),
                  what);
    return file + text;
}

} // namespace

DataPlace dataPlace(const std::string& path, const std::string& readerClass) {
    if (readerClass == "NiftiImageIO") return niftiPlace(path);
    if (readerClass == "NrrdImageIO") return nrrdPlace(path);
    if (readerClass == "MetaImageIO") return metaPlace(path);
    if (readerClass == "VTKImageIO") return vtkPlace(path);
    DataPlace place;
    place.storage = Storage::unknown;
    return place;
}

std::string shortDataProblem(const DataPlace& place, uint64_t imageBytes) {
    if (place.storage == Storage::unknown) return std::string();
    uint64_t size = 0;
    if (!fileSize(place.file, size)) return "cannot open " + place.file + ": no such data file";
    // Sizes a header claims may be anything: the sums saturate.
    const auto plus = [](uint64_t a, uint64_t b) {
        return b > UINT64_MAX - a ? UINT64_MAX : a + b;
    };
    if (place.storage == Storage::raw) {
        const uint64_t wanted = plus(place.offset, imageBytes);
        return size >= wanted ? std::string()
                              : bytesMissing(place.file, wanted - size, imageBytes, "samples");
    }
    const uint64_t available = size > place.offset ? size - place.offset : 0;
    if (place.compressedBytes > available)
        return bytesMissing(place.file, place.compressedBytes - available, place.compressedBytes,
                            "compressed samples");
    const uint64_t wanted = plus(place.skip, imageBytes);
    // Deflate never packs more than about 1032 bytes into one: a header that
    // claims more than that is refused before anything is allocated.
    if (wanted / 1032 > available + 1024) {
        char text[200];
        std::snprintf(text, sizeof text,
                      " claims %llu bytes of samples, more than its %llu compressed bytes can hold",
                      static_cast<unsigned long long>(imageBytes),
                      static_cast<unsigned long long>(available));
        return place.file + text;
    }
    if (place.compressedBytes > 0) return std::string();
    if (place.storage == Storage::gzip && available >= 4) {
        // gzip's trailer holds the stream's length (mod 2^32): a whole stream
        // needs no second inflation.
        UniqueFile file(std::fopen(place.file.c_str(), "rb"));
        unsigned char tail[4];
        if (file && std::fseek(file.get(), -4, SEEK_END) == 0 &&
            std::fread(tail, 1, 4, file.get()) == 4 &&
            (uint32_t(tail[0]) | uint32_t(tail[1]) << 8 | uint32_t(tail[2]) << 16 |
             uint32_t(tail[3]) << 24) == uint32_t(wanted))
            return std::string();
    }
    uint64_t produced = 0;
    std::string why;
    const bool ended = inflatedBytes(place.file, place.offset, produced, why);
    if (produced < wanted)
        return bytesMissing(place.file, wanted - produced, imageBytes, "samples");
    if (!ended)
        return "cannot read " + place.file +
               ": compressed data: " + (why.empty() ? "unexpected end of file" : why);
    return std::string();
}
