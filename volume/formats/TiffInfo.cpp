// A TIFF file is a chain of page directories: entries of tag, type, count and
// value (or the value's offset), then the next directory's offset. Only the
// directories are read here, never the samples.
#include "volume/formats/TiffInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
// ITK carries its own libtiff under prefixed names and installs no header for it.
typedef void (*TiffHandler)(const char*, const char*, va_list);
TiffHandler itk_TIFFSetWarningHandler(TiffHandler);
}

namespace {

enum Tag {
    description = 270,
    stripOffsets = 273,
    stripByteCounts = 279,
    xResolution = 282,
    yResolution = 283,
    tileOffsets = 324,
    tileByteCounts = 325
};

struct Entry {
    uint64_t tag, type, count;
    uint8_t field[8]; // the value, or its offset where it does not fit
};

struct TiffFile {
    int fd = -1;
    uint64_t size = 0;
    bool bigEndian = false, bigTiff = false; // BigTIFF: 8-byte counts and offsets
    ~TiffFile() {
        if (fd >= 0) close(fd);
    }
    bool read(uint64_t at, uint8_t* out, uint64_t n) const {
        return at <= size && n <= size - at && pread(fd, out, n, off_t(at)) == ssize_t(n);
    }
    uint64_t number(const uint8_t* p, int bytes) const {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint64_t(p[bigEndian ? bytes - 1 - i : i]) << (8 * i);
        return v;
    }
    int offsetBytes() const { return bigTiff ? 8 : 4; }

    // The directory at `at`; false when it reaches past the file's end.
    bool directory(uint64_t at, std::vector<Entry>& entries, uint64_t& next) const {
        const int countBytes = bigTiff ? 8 : 2, entryBytes = bigTiff ? 20 : 12;
        uint8_t head[8];
        if (!read(at, head, uint64_t(countBytes))) return false;
        const uint64_t n = number(head, countBytes);
        if (n > size / uint64_t(entryBytes)) return false;
        std::vector<uint8_t> raw(n * uint64_t(entryBytes) + uint64_t(offsetBytes()));
        if (!read(at + uint64_t(countBytes), raw.data(), raw.size())) return false;
        entries.resize(n);
        for (uint64_t i = 0; i < n; ++i) {
            const uint8_t* p = raw.data() + i * uint64_t(entryBytes);
            Entry& e = entries[i];
            e.tag = number(p, 2), e.type = number(p + 2, 2);
            e.count = number(p + 4, bigTiff ? 8 : 4);
            std::memcpy(e.field, p + (bigTiff ? 12 : 8), size_t(offsetBytes()));
        }
        next = number(raw.data() + raw.size() - uint64_t(offsetBytes()), offsetBytes());
        return true;
    }

    // An entry's values as bytes in the file's order, and the bytes of one
    // (0: a type not read here); false when they reach past the file's end,
    // which is checked before anything is allocated for them.
    bool payload(const Entry& e, std::vector<uint8_t>& raw, int& bytes) const {
        static const int typeBytes[19] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
        bytes = e.type < 19 ? typeBytes[e.type] : 0;
        if (bytes == 0) return true;
        if (e.count > size / uint64_t(bytes)) return false;
        raw.resize(e.count * uint64_t(bytes));
        if (raw.size() <= size_t(offsetBytes()))
            std::copy(e.field, e.field + raw.size(), raw.begin());
        else if (!read(number(e.field, offsetBytes()), raw.data(), raw.size()))
            return false;
        if (e.type == 5 || e.type == 10) bytes = 4; // rationals: numerator, denominator
        return true;
    }
    bool values(const Entry& e, std::vector<uint64_t>& out) const {
        std::vector<uint8_t> raw;
        int bytes;
        if (!payload(e, raw, bytes)) return false;
        for (size_t i = 0; bytes > 0 && i < raw.size(); i += size_t(bytes))
            out.push_back(number(raw.data() + i, bytes));
        return true;
    }
    bool text(const Entry& e, std::string& out) const {
        std::vector<uint8_t> raw;
        int bytes;
        if (!payload(e, raw, bytes)) return false;
        out.assign(raw.begin(), std::find(raw.begin(), raw.end(), 0));
        return true;
    }
};

// ImageJ's "key=value" lines.
void readImageJ(const std::string& text, TiffInfo& info, uint64_t& images) {
    if (text.rfind("ImageJ=", 0) != 0) return;
    info.imageJ = true;
    for (size_t at = 0; at < text.size();) {
        const size_t eol = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, eol - at);
        at = eol + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "images") images = std::strtoull(value.c_str(), nullptr, 10);
        if (key == "unit") info.unit = value;
        const double spacing = key == "spacing" ? std::strtod(value.c_str(), nullptr) : 0;
        if (std::isfinite(spacing) && spacing > 0) info.spacing[2] = spacing;
    }
}

} // namespace

TiffInfo readTiffInfo(const std::string& path) {
    TiffInfo info;
    itk_TIFFSetWarningHandler(nullptr);
    TiffFile f;
    f.fd = open(path.c_str(), O_RDONLY);
    struct stat st;
    uint8_t head[16];
    if (f.fd < 0 || fstat(f.fd, &st) != 0) return info;
    f.size = uint64_t(st.st_size);
    if (!f.read(0, head, 8) || head[0] != head[1] || (head[0] != 'I' && head[0] != 'M'))
        return info;
    // A DICOM file may carry a TIFF header in its preamble; it is read as DICOM.
    uint8_t magic[4];
    if (f.read(128, magic, 4) && std::memcmp(magic, "DICM", 4) == 0) return info;
    f.bigEndian = head[0] == 'M';
    const uint64_t version = f.number(head + 2, 2);
    f.bigTiff = version == 43;
    if ((version != 42 && !f.bigTiff) || (f.bigTiff && !f.read(0, head, 16))) return info;
    uint64_t next = f.bigTiff ? f.number(head + 8, 8) : f.number(head + 4, 4);

    uint64_t pages = 0, images = 0, samples = 0, missing = 0;
    bool cut = false;
    std::set<uint64_t> seen; // a chain that loops ends where it meets itself
    while (next != 0 && seen.insert(next).second) {
        std::vector<Entry> entries;
        std::vector<uint64_t> offsets, counts, values;
        std::string words;
        if (!f.directory(next, entries, next)) {
            cut = true;
            break;
        }
        for (const Entry& e : entries) {
            const bool strips = e.tag == stripOffsets || e.tag == tileOffsets;
            const bool stripBytes = e.tag == stripByteCounts || e.tag == tileByteCounts;
            const bool first = pages == 0 && (e.tag == description || e.tag == xResolution ||
                                              e.tag == yResolution);
            if (!strips && !stripBytes && !first) continue;
            if (e.tag == description) {
                cut = cut || !f.text(e, words);
                readImageJ(words, info, images);
                continue;
            }
            cut = cut || !f.values(e, strips ? offsets : stripBytes ? counts : values);
            if ((e.tag == xResolution || e.tag == yResolution) && values.size() == 2 &&
                values[0] > 0 && values[1] > 0)
                info.spacing[e.tag - xResolution] = double(values[1]) / double(values[0]);
            values.clear();
        }
        if (cut) break;
        ++pages;
        for (size_t i = 0; i < offsets.size() && i < counts.size(); ++i) {
            const uint64_t there = offsets[i] >= f.size ? 0 : f.size - offsets[i];
            samples += counts[i];
            missing += counts[i] > there ? counts[i] - there : 0;
        }
    }
    char text[160];
    if (cut && images > pages)
        std::snprintf(text, sizeof text, " is cut short: %llu of its %llu pages are missing",
                      static_cast<unsigned long long>(images - pages),
                      static_cast<unsigned long long>(images));
    else if (cut)
        std::snprintf(text, sizeof text, " is cut short: its pages from page %llu on are missing",
                      static_cast<unsigned long long>(pages + 1));
    else if (missing)
        std::snprintf(text, sizeof text, " is cut short: %llu of %llu bytes of samples are missing",
                      static_cast<unsigned long long>(missing),
                      static_cast<unsigned long long>(samples));
    if (cut || missing) info.error = path + text;
    return info;
}

void applyTiffInfo(const std::string& path, const TiffInfo& info, ImageRead& r) {
    if (!info.imageJ || !r.error.empty()) return;
    bool given = false;
    for (int a = 0; a < 3; ++a)
        if (info.spacing[a] > 0) r.samples.spacing[a] = info.spacing[a], given = true;
    if (!given) return;
    char text[120];
    std::snprintf(text, sizeof text, ": ImageJ spacing %g x %g x %g", r.samples.spacing[0],
                  r.samples.spacing[1], r.samples.spacing[2]);
    r.notes.push_back(path + text + (info.unit.empty() ? "" : " " + info.unit));
}
