// NIfTI-2: fixed fields in 540 bytes, then from vox_offset the samples, x
// fastest, volume after volume. NIfTI-1 has the same fields in 348 bytes, with
// 2-byte integers and 4-byte reals. zlib reads plain and gzip files alike.
#include "volume/formats/Nifti2.h"

#include "volume/formats/FileChecks.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <zlib.h>

namespace {

const unsigned char singleMagic[8] = {'n', '+', '2', 0, '\r', '\n', 032, '\n'};
const unsigned char pairMagic[8] = {'n', 'i', '2', 0, '\r', '\n', 032, '\n'};

struct GzCloser {
    void operator()(gzFile f) const { gzclose(f); }
};
using Gz = std::unique_ptr<gzFile_s, GzCloser>;

struct Header {
    unsigned char bytes[540] = {};
    bool swap = false; // written in the other byte order
    bool one = false;  // NIfTI-1
    template <typename T> T get(int at) const {
        unsigned char word[sizeof(T)];
        std::memcpy(word, bytes + at, sizeof(T));
        if (swap) std::reverse(word, word + sizeof(T));
        T value;
        std::memcpy(&value, word, sizeof(T));
        return value;
    }
    // The field at its NIfTI-2 offset, or at its NIfTI-1 one (int16 or float).
    template <typename T> T field(int at2, int at1) const {
        if (!one) return get<T>(at2);
        return std::is_floating_point<T>::value ? T(get<float>(at1)) : T(get<int16_t>(at1));
    }
    int64_t voxOffset() const {
        const float v = get<float>(108);
        return !one ? get<int64_t>(168) : v >= 0 && v < 1e15f ? int64_t(v) : -1;
    }
    int size() const { return one ? 348 : 540; }
    std::string name() const { return one ? "NIfTI-1" : "NIfTI-2"; }
};

// Reads up to n bytes; how many there were.
uint64_t readUpTo(gzFile file, uint8_t* out, uint64_t n) {
    uint64_t done = 0;
    while (done < n) {
        const int got = gzread(file, out + done, unsigned(std::min<uint64_t>(n - done, 1u << 30)));
        if (got <= 0) break;
        done += uint64_t(got);
    }
    return done;
}

bool sampleTypeOf(int code, SampleType& out) {
    static const std::pair<int, SampleType> types[] = {
        {2, SampleType::u8},    {4, SampleType::i16},   {8, SampleType::i32},
        {16, SampleType::f32},  {64, SampleType::f64},  {256, SampleType::i8},
        {512, SampleType::u16}, {768, SampleType::u32}, {1024, SampleType::i64},
        {1280, SampleType::u64}};
    for (const auto& t : types)
        if (t.first == code) return out = t.second, true;
    return false;
}

// RAS columns of the index axes from the sform, else the qform; false if none.
bool rasColumns(const Header& h, double m[3][3]) {
    if (h.field<int32_t>(348, 254) > 0) {
        for (int i = 0; i < 3; ++i)
            for (int a = 0; a < 3; ++a)
                m[i][a] = h.field<double>(400 + 32 * i + 8 * a, 280 + 16 * i + 4 * a);
        return true;
    }
    if (h.field<int32_t>(344, 252) <= 0) return false;
    double b = h.field<double>(352, 256), c = h.field<double>(360, 260),
           d = h.field<double>(368, 264);
    double a = 1 - (b * b + c * c + d * d);
    if (a < 1e-7) { // not a unit quaternion: b, c, d make a 180-degree turn
        const double n = std::sqrt(b * b + c * c + d * d);
        b /= n, c /= n, d /= n, a = 0;
    } else {
        a = std::sqrt(a);
    }
    const double qfac = h.field<double>(104, 76) < 0 ? -1 : 1;
    const double r[3][3] = {
        {a * a + b * b - c * c - d * d, 2 * (b * c - a * d), 2 * (b * d + a * c)},
        {2 * (b * c + a * d), a * a + c * c - b * b - d * d, 2 * (c * d - a * b)},
        {2 * (b * d - a * c), 2 * (c * d + a * b), a * a + d * d - b * b - c * c}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            m[i][k] = r[i][k] * (k == 2 ? qfac : 1);
    return true;
}

// LPS unit rows from RAS columns; identity and no patient space if degenerate.
void setDirections(const Header& h, Samples& s) {
    double m[3][3];
    if (!rasColumns(h, m)) return;
    double rows[3][3];
    for (int a = 0; a < 3; ++a) {
        const double n = std::sqrt(m[0][a] * m[0][a] + m[1][a] * m[1][a] + m[2][a] * m[2][a]);
        if (!std::isfinite(n) || n == 0) return;
        for (int i = 0; i < 3; ++i)
            rows[a][i] = (i < 2 ? -m[i][a] : m[i][a]) / n;
    }
    std::memcpy(s.direction, rows, sizeof rows);
    s.patientSpace = true;
}

// Checks the header; the bytes of all samples (0 on error), the sizes of a
// volume and the volumes.
uint64_t checkHeader(const std::string& path, const Header& h, int volumeIndex, SampleType& type,
                     int size[3], uint64_t& volumes, ImageRead& r) {
    const int64_t rank = h.field<int64_t>(16, 40), voxOffset = h.voxOffset();
    if (rank < 1 || rank > 7 || voxOffset < h.size()) {
        r.error = path + ": bad " + h.name() + " header (" +
                  (voxOffset < h.size() ? "vox_offset " + std::to_string(voxOffset)
                                        : "dim[0] " + std::to_string(rank)) +
                  ")";
        return 0;
    }
    if (!sampleTypeOf(h.field<int16_t>(12, 70), type)) {
        r.error = path + ": unsupported sample type (NIfTI datatype " +
                  std::to_string(h.field<int16_t>(12, 70)) + ")";
        return 0;
    }
    std::vector<int64_t> dims;
    std::string text;
    for (int i = 1; i <= rank; ++i) {
        dims.push_back(h.field<int64_t>(16 + 8 * i, 40 + 2 * i));
        text += (i > 1 ? "x" : "") + std::to_string(dims.back());
    }
    while (dims.size() > 3 && dims.back() == 1) // trailing axes of one sample say nothing
        dims.pop_back();
    uint64_t bytes = uint64_t(sampleBytes(type));
    for (int64_t d : dims)
        if (d <= 0) r.error = path + " has an empty axis (" + text + ")";
    if (r.error.empty() && dims.size() > 4)
        r.error = path + " has " + std::to_string(rank) + " dimensions; at most 4 can be shown";
    else if (r.error.empty() && (dims.size() < 3 || dims[0] < 2 || dims[1] < 2 || dims[2] < 2))
        r.error = path + " is a 2D image (" + text + "); a volume needs three axes";
    for (size_t i = 0; i < dims.size() && r.error.empty(); ++i)
        if (uint64_t(dims[i]) > (uint64_t(1) << 62) / bytes || dims[i] > INT_MAX)
            r.error = path + " claims " + text + " samples, more than can be shown";
        else
            bytes *= uint64_t(dims[i]);
    if (!r.error.empty()) return 0;
    volumes = dims.size() == 4 ? uint64_t(dims[3]) : 1;
    if (volumeIndex >= 0 && uint64_t(volumeIndex) >= volumes) {
        r.error = "--volume " + std::to_string(volumeIndex) + " is past the last volume of " +
                  path + " (" + std::to_string(volumes - 1) + ")";
        return 0;
    }
    for (int a = 0; a < 3; ++a)
        size[a] = int(dims[size_t(a)]);
    return bytes;
}

} // namespace

bool isNifti2(const std::string& path) {
    const Gz file(gzopen(path.c_str(), "rb"));
    Header h;
    if (!file || readUpTo(file.get(), h.bytes, 12) != 12) return false;
    h.swap = h.get<int32_t>(0) != 540;
    return h.get<int32_t>(0) == 540 && (std::memcmp(h.bytes + 4, singleMagic, 8) == 0 ||
                                        std::memcmp(h.bytes + 4, pairMagic, 8) == 0);
}

void readNifti2(const std::string& path, int volumeIndex, ImageRead& r) {
    const Gz file(gzopen(path.c_str(), "rb"));
    if (!file) {
        r.error = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    Header h;
    const uint64_t got = readUpTo(file.get(), h.bytes, 540);
    h.swap = h.get<int32_t>(0) != 540 && h.get<int32_t>(0) != 348;
    h.one = h.get<int32_t>(0) == 348;
    if (got < uint64_t(h.size())) {
        r.error = path + " is cut short: " + std::to_string(h.size() - got) + " of the " +
                  std::to_string(h.size()) + " bytes of its " + h.name() + " header are missing";
        return;
    }
    if (h.one ? std::memcmp(h.bytes + 344, "ni1", 4) == 0
              : std::memcmp(h.bytes + 4, pairMagic, 8) == 0) {
        r.error = path + " is a " + h.name() +
                  " header whose samples lie in a separate file; only single " + h.name() +
                  " files (.nii, .nii.gz) can be read";
        return;
    }
    SampleType type;
    int size[3];
    uint64_t volumes = 1;
    const uint64_t total = checkHeader(path, h, volumeIndex, type, size, volumes, r);
    if (total == 0) return;
    // The whole file is checked before anything is allocated for it.
    DataPlace place;
    place.file = path;
    const uint64_t voxOffset = uint64_t(h.voxOffset());
    if (gzdirect(file.get()))
        place.storage = Storage::raw, place.offset = voxOffset;
    else
        place.storage = Storage::gzip, place.skip = voxOffset;
    r.error = shortDataProblem(place, total);
    if (!r.error.empty()) return;

    if (volumes > 1 && volumeIndex < 0)
        r.notes.push_back(path + " is a 4D series of " + std::to_string(volumes) +
                          " volumes; showing volume 0 (--volume N picks another)");
    const uint64_t volumeBytes = total / volumes;
    const uint64_t start = voxOffset + uint64_t(std::max(volumeIndex, 0)) * volumeBytes;
    Samples& s = r.samples;
    std::copy(size, size + 3, s.size);
    r.error = memoryProblem(path, volumeBytes);
    if (!r.error.empty()) return;
    uint8_t* bytes = s.allocate(type, s.count());
    if (gzseek(file.get(), z_off_t(start), SEEK_SET) != z_off_t(start) ||
        readUpTo(file.get(), bytes, volumeBytes) != volumeBytes) {
        int status = Z_OK;
        std::string why = gzerror(file.get(), &status);
        if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
        r.error = "cannot read " + path + ": " + (gzdirect(file.get()) ? "" : "compressed data: ") +
                  (status == Z_OK ? "unexpected end of file" : why);
        return;
    }
    if (h.swap) swapBytes(bytes, s.count(), type);
    const double slope = h.field<double>(176, 112), inter = h.field<double>(184, 116);
    // The scale is applied where the samples become voxels.
    if (std::isfinite(slope) && std::isfinite(inter) && slope != 0)
        s.slope = slope, s.intercept = inter;
    s.unsignedBytes = type == SampleType::u8 && !s.scaled();
    for (int a = 0; a < 3; ++a) {
        const double p = std::fabs(h.field<double>(112 + 8 * a, 80 + 4 * a));
        s.spacing[a] = std::isfinite(p) && p > 0 ? p : 1;
    }
    setDirections(h, s);
}
