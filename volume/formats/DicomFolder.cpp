#include "volume/formats/DicomFolder.h"

#include <gdcmImage.h>
#include <gdcmReader.h>
#include <gdcmSequenceOfItems.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const gdcm::Tag pixelDataTag(0x7fe0, 0x0010);
const bool nativeBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

// One frame: a whole single-frame file or one frame of a multi-frame file.
struct Frame {
    size_t file = 0;
    int index = 0;
    double position[3] = {}, row[3] = {}, column[3] = {};
    double pixelSpacing[2] = {1, 1}; // between rows, between columns
    double slope = 1, intercept = 0, depth = 0;
};

enum class Kind { unreadable, other, slices };

struct FileInfo {
    Kind kind = Kind::unreadable;
    std::string series, photometric;
    int rows = 0, columns = 0, samplesPerPixel = 1, bitsAllocated = 0, bitsStored = 0;
    int highBit = 0, signedSamples = 0, frames = 1;
    bool encapsulated = false;
    uint64_t pixelOffset = 0, pixelLength = 0, fileSize = 0;
    double sliceStep = 0; // Spacing Between Slices
};

std::string text(const gdcm::DataSet& ds, uint16_t group, uint16_t element) {
    const gdcm::Tag tag(group, element);
    const gdcm::ByteValue* bv =
        ds.FindDataElement(tag) ? ds.GetDataElement(tag).GetByteValue() : nullptr;
    std::string s = bv ? std::string(bv->GetPointer(), bv->GetLength()) : "";
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

// A decimal string's values (DS, IS); empty if any is not a finite number.
std::vector<double> numbers(const gdcm::DataSet& ds, uint16_t group, uint16_t element) {
    const std::string s = text(ds, group, element);
    std::vector<double> out;
    for (const char* p = s.c_str(); *p;) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || !std::isfinite(v)) return {};
        out.push_back(v);
        for (p = end; *p == ' ';)
            ++p;
        if (*p && *p++ != '\\') return {};
    }
    return out;
}

int unsignedShort(const gdcm::DataSet& ds, uint16_t group, uint16_t element, int fallback) {
    const gdcm::Tag tag(group, element);
    const gdcm::ByteValue* bv =
        ds.FindDataElement(tag) ? ds.GetDataElement(tag).GetByteValue() : nullptr;
    uint16_t v;
    if (!bv || bv->GetLength() < 2) return fallback;
    std::memcpy(&v, bv->GetPointer(), 2); // the reader gives binary values in native order
    return v;
}

gdcm::SmartPointer<gdcm::SequenceOfItems> sequence(const gdcm::DataSet* ds, gdcm::Tag tag) {
    if (!ds || !ds->FindDataElement(tag)) return nullptr;
    return ds->GetDataElement(tag).GetValueAsSQ();
}

// An attribute of a functional group: the frame's own item, then the shared
// one, then the top level (classic files have only that).
std::vector<double> groupNumbers(const gdcm::DataSet* own, const gdcm::DataSet* shared,
                                 const gdcm::DataSet& top, gdcm::Tag macro, uint16_t group,
                                 uint16_t element) {
    for (const gdcm::DataSet* ds : {own, shared}) {
        const gdcm::SmartPointer<gdcm::SequenceOfItems> sq = sequence(ds, macro);
        if (!sq || sq->GetNumberOfItems() == 0) continue;
        std::vector<double> v = numbers(sq->GetItem(1).GetNestedDataSet(), group, element);
        if (!v.empty()) return v;
    }
    return numbers(top, group, element);
}

bool unit(double* v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.5)) return false;
    for (int i = 0; i < 3; ++i)
        v[i] /= length;
    return true;
}

void cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Where the native pixel data starts and its declared length, read back from
// the element header that ends at pos. False if that is not Pixel Data.
bool pixelDataAt(std::ifstream& in, uint64_t pos, FileInfo& f) {
    unsigned char b[12];
    in.clear();
    if (pos < 12 || !in.seekg(std::streamoff(pos - 12)) || !in.read(reinterpret_cast<char*>(b), 12))
        return false;
    bool big = false;
    const auto isTag = [&](const unsigned char* t) {
        big = t[0] == 0x7f;
        return (t[0] == 0xe0 && t[1] == 0x7f && t[2] == 0x10 && t[3] == 0) ||
               (t[0] == 0x7f && t[1] == 0xe0 && t[2] == 0 && t[3] == 0x10);
    };
    if (!(isTag(b) && (b[4] == 'O' || b[4] == 'U')) && !isTag(b + 4)) return false;
    f.pixelLength = 0;
    for (int i = 0; i < 4; ++i)
        f.pixelLength |= uint64_t(b[8 + i]) << (big ? 24 - 8 * i : 8 * i);
    f.pixelOffset = pos;
    f.encapsulated = f.pixelLength == 0xffffffff;
    return true;
}

// Parses a file's header (never its pixel data) and, for slices of an image
// volume, appends its frames.
FileInfo screen(const std::string& path, size_t fileIndex, std::vector<Frame>& frames) {
    FileInfo f;
    std::ifstream in(path, std::ios::binary);
    char head[132] = {};
    in.read(head, sizeof head);
    const bool part10 = in.gcount() == 132 && std::memcmp(head + 128, "DICM", 4) == 0;
    const bool bare = in.gcount() >= 8 && (head[0] == 2 || head[0] == 8) && head[1] == 0;
    if (!part10 && !bare) return f;
    gdcm::Reader reader;
    reader.SetFileName(path.c_str());
    if (!reader.ReadUpToTag(pixelDataTag, {pixelDataTag})) return f;
    f.kind = Kind::other;
    f.fileSize = std::filesystem::file_size(path);
    const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
    std::string sop = text(ds, 0x0008, 0x0016);
    if (sop.empty()) sop = text(reader.GetFile().GetHeader(), 0x0002, 0x0002);
    // Radiotherapy objects (dose grids too) and segmentations, registrations
    // and the like are not slices of a scan.
    for (const char* prefix : {"1.2.840.10008.5.1.4.1.1.481.", "1.2.840.10008.5.1.4.1.1.66"})
        if (sop.rfind(prefix, 0) == 0) return f;
    f.rows = unsignedShort(ds, 0x0028, 0x0010, 0);
    f.columns = unsignedShort(ds, 0x0028, 0x0011, 0);
    if (f.rows == 0 || f.columns == 0 || !pixelDataAt(in, reader.GetStreamCurrentPosition(), f))
        return f;
    f.series = text(ds, 0x0020, 0x000e);
    f.photometric = text(ds, 0x0028, 0x0004);
    if (f.photometric.empty()) f.photometric = "MONOCHROME2";
    f.samplesPerPixel = unsignedShort(ds, 0x0028, 0x0002, 1);
    f.bitsAllocated = unsignedShort(ds, 0x0028, 0x0100, 0);
    f.bitsStored = std::min(unsignedShort(ds, 0x0028, 0x0101, f.bitsAllocated), f.bitsAllocated);
    f.highBit = std::min(unsignedShort(ds, 0x0028, 0x0102, f.bitsStored - 1), f.bitsAllocated - 1);
    f.signedSamples = unsignedShort(ds, 0x0028, 0x0103, 0) != 0;
    const std::vector<double> count = numbers(ds, 0x0028, 0x0008);
    f.frames = count.size() == 1 && count[0] >= 1 && count[0] < 1e7 ? int(count[0]) : 1;
    const std::vector<double> step = numbers(ds, 0x0018, 0x0088);
    f.sliceStep = step.size() == 1 ? std::abs(step[0]) : 0;

    const auto sharedSq = sequence(&ds, gdcm::Tag(0x5200, 0x9229));
    const auto perFrame = sequence(&ds, gdcm::Tag(0x5200, 0x9230));
    const gdcm::DataSet* shared = sharedSq && sharedSq->GetNumberOfItems()
                                      ? &sharedSq->GetItem(1).GetNestedDataSet()
                                      : nullptr;
    // Records only for the frames the pixel data can hold, and one more so that
    // a cut file is still named as cut: a small header may claim ten million.
    const uint64_t bytes = f.fileSize - std::min(f.fileSize, f.pixelOffset);
    const uint64_t frameBytes =
        std::max<uint64_t>(1, uint64_t(f.rows) * f.columns * f.bitsAllocated / 8);
    const int recorded = int(std::min<uint64_t>(
        uint64_t(f.frames),
        (f.encapsulated ? bytes / 8 : std::min(f.pixelLength, bytes) / frameBytes) + 1));
    const size_t first = frames.size();
    for (int k = 0; k < recorded; ++k) {
        const bool ownItem = perFrame && size_t(k) < perFrame->GetNumberOfItems();
        const gdcm::DataSet* own = ownItem ? &perFrame->GetItem(k + 1).GetNestedDataSet() : nullptr;
        const gdcm::Tag position(0x0020, 0x9113), orientation(0x0020, 0x9116);
        const gdcm::Tag measures(0x0028, 0x9110), transformation(0x0028, 0x9145);
        const std::vector<double> p = groupNumbers(own, shared, ds, position, 0x0020, 0x0032);
        const std::vector<double> o = groupNumbers(own, shared, ds, orientation, 0x0020, 0x0037);
        const std::vector<double> s = groupNumbers(own, shared, ds, measures, 0x0028, 0x0030);
        const std::vector<double> b = groupNumbers(own, shared, ds, transformation, 0x0028, 0x1052);
        const std::vector<double> m = groupNumbers(own, shared, ds, transformation, 0x0028, 0x1053);
        Frame fr;
        fr.file = fileIndex, fr.index = k;
        if (p.size() != 3 || o.size() != 6) break;
        std::copy(p.begin(), p.end(), fr.position);
        std::copy(o.begin(), o.begin() + 3, fr.row);
        std::copy(o.begin() + 3, o.end(), fr.column);
        double n[3];
        if (!unit(fr.row) || !unit(fr.column)) break;
        cross(fr.row, fr.column, n);
        if (!unit(n)) break; // rows along the columns
        if (s.size() == 2 && s[0] > 0 && s[1] > 0)
            fr.pixelSpacing[0] = s[0], fr.pixelSpacing[1] = s[1];
        if (b.size() == 1) fr.intercept = b[0];
        if (m.size() == 1 && m[0] != 0) fr.slope = m[0];
        if (!ownItem && k > 0) { // a classic multi-frame stack: Spacing Between Slices apart
            if (!(f.sliceStep > 0)) break;
            for (int a = 0; a < 3; ++a)
                fr.position[a] += k * f.sliceStep * n[a];
        }
        frames.push_back(fr);
    }
    if (frames.size() - first != size_t(recorded)) { // no position for some frame: not a stack
        frames.resize(first);
        return f;
    }
    f.kind = Kind::slices;
    return f;
}

// A slice cut short would be read as garbage; names it and what it lacks.
std::string cutShort(const std::string& path, const FileInfo& info) {
    const uint64_t need = uint64_t(info.rows) * info.columns * info.frames * info.bitsAllocated / 8;
    const uint64_t have =
        std::min(info.pixelLength, info.fileSize - std::min(info.fileSize, info.pixelOffset));
    if (info.encapsulated || have >= need) return "";
    return path + " is cut short: " + std::to_string(need - have) + " of the " +
           std::to_string(need) + " bytes of its pixel data are missing";
}

std::string count(size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Picks the series, checks it is one stack of parallel slices and orders them;
// sets r's notes, error and geometry. Gives the frames in order.
std::vector<Frame> plan(const std::string& folder, const std::vector<std::string>& paths,
                        const std::vector<FileInfo>& infos, const std::vector<Frame>& all,
                        ImageRead& r) {
    const size_t other = size_t(std::count_if(
        infos.begin(), infos.end(), [](const FileInfo& f) { return f.kind == Kind::other; }));
    const size_t unreadable = size_t(std::count_if(
        infos.begin(), infos.end(), [](const FileInfo& f) { return f.kind == Kind::unreadable; }));
    std::string leftOut;
    if (other + unreadable > 0) {
        leftOut = "left out " + count(other + unreadable, "file") + ":";
        if (other)
            leftOut += " " + std::to_string(other) +
                       " not slices of an image volume (dose, structure sets, reports, "
                       "directories, images without a position)";
        if (unreadable)
            leftOut += (other ? ", " : " ") + std::to_string(unreadable) + " not readable as DICOM";
    }
    std::map<std::string, std::vector<Frame>> series;
    for (const Frame& f : all)
        series[infos[f.file].series].push_back(f);
    if (series.empty()) {
        r.error =
            folder + ": no DICOM series in this folder" + (leftOut.empty() ? "" : "; " + leftOut);
        return {};
    }
    if (!leftOut.empty()) r.notes.push_back(folder + ": " + leftOut);
    auto chosen = series.begin();
    for (auto s = series.begin(); s != series.end(); ++s)
        if (s->second.size() > chosen->second.size()) chosen = s;
    const std::string& uid = chosen->first;
    std::vector<Frame> frames = chosen->second;
    if (series.size() > 1)
        r.notes.push_back(folder + " holds " + std::to_string(series.size()) +
                          " DICOM series; showing " + uid + " (" + std::to_string(frames.size()) +
                          " slices), the one with the most slices");

    const FileInfo& first = infos[frames[0].file];
    for (const Frame& f : frames) {
        const FileInfo& info = infos[f.file];
        if (info.samplesPerPixel != 1 || info.photometric.rfind("PALETTE", 0) == 0) {
            r.error = folder + " holds colour DICOM images; only scalar volumes can be shown";
            return {};
        }
        if (info.rows != first.rows || info.columns != first.columns) {
            r.error = folder + ": the slices of series " + uid + " differ in size (" +
                      std::to_string(first.columns) + "x" + std::to_string(first.rows) + " and " +
                      std::to_string(info.columns) + "x" + std::to_string(info.rows) + ")";
            return {};
        }
        if (info.bitsAllocated != 8 && info.bitsAllocated != 16 && info.bitsAllocated != 32) {
            r.error = paths[f.file] + " has " + std::to_string(info.bitsAllocated) +
                      "-bit samples; only 8-, 16- and 32-bit ones can be read";
            return {};
        }
        for (int a = 0; a < 3; ++a)
            if (std::abs(f.row[a] - frames[0].row[a]) > 1e-3 ||
                std::abs(f.column[a] - frames[0].column[a]) > 1e-3) {
                r.error = folder + ": the slices of series " + uid +
                          " do not share one orientation (a localiser or a radial scan); only a "
                          "stack of parallel slices can be shown";
                return {};
            }
    }
    double normal[3];
    cross(frames[0].row, frames[0].column, normal);
    unit(normal);
    for (Frame& f : frames)
        f.depth = f.position[0] * normal[0] + f.position[1] * normal[1] + f.position[2] * normal[2];
    std::stable_sort(frames.begin(), frames.end(),
                     [](const Frame& a, const Frame& b) { return a.depth < b.depth; });
    std::vector<double> gaps;
    for (size_t k = 1; k < frames.size(); ++k)
        gaps.push_back(frames[k].depth - frames[k - 1].depth);
    const size_t positions =
        1 + size_t(std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 1e-3; }));
    if (positions < frames.size()) {
        r.error = folder + ": series " + uid + " repeats slice positions (" +
                  std::to_string(frames.size()) + " slices at " + count(positions, "position") +
                  ", as echoes, phases or time points do); only one slice per position "
                  "can be shown";
        return {};
    }
    for (const Frame& f : frames)
        if (!(r.error = cutShort(paths[f.file], infos[f.file])).empty()) return {};

    std::vector<double> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double step =
        sorted.empty() ? (first.sliceStep > 0 ? first.sliceStep : 1) : sorted[sorted.size() / 2];
    double low = step, high = step;
    for (size_t k = 0; k < gaps.size(); ++k) {
        const long missing = std::lround(gaps[k] / step) - 1;
        if (gaps[k] > 1.5 * step)
            r.notes.push_back(folder + ": a gap of " + number(gaps[k]) + " mm (" +
                              count(size_t(missing), "missing slice") + ") after slice " +
                              std::to_string(k + 1) + " of " + std::to_string(frames.size()) +
                              " in series " + uid + " (" + number(frames[k].depth) + " to " +
                              number(frames[k + 1].depth) +
                              " mm along the slice normal); the slices are shown " + number(step) +
                              " mm apart, the regular spacing, with the gap closed");
        else
            low = std::min(low, gaps[k]), high = std::max(high, gaps[k]);
    }
    if (high - low > 0.05 * step)
        r.notes.push_back(folder + ": the slice spacing of series " + uid + " varies from " +
                          number(low) + " to " + number(high) + " mm; the slices are shown " +
                          number(step) + " mm apart");

    Samples& s = r.samples;
    s.size[0] = first.columns, s.size[1] = first.rows, s.size[2] = int(frames.size());
    s.spacing[0] = frames[0].pixelSpacing[1], s.spacing[1] = frames[0].pixelSpacing[0];
    s.spacing[2] = step;
    s.patientSpace = true;
    for (int a = 0; a < 3; ++a)
        s.direction[0][a] = frames[0].row[a], s.direction[1][a] = frames[0].column[a],
        s.direction[2][a] = normal[a];
    s.unsignedBytes = std::all_of(frames.begin(), frames.end(), [&](const Frame& f) {
        const FileInfo& i = infos[f.file];
        return i.bitsAllocated == 8 && !i.signedSamples && f.slope == 1 && f.intercept == 0;
    });
    return frames;
}

// All of a file's frames as floats, before rescaling; an error line or empty.
std::string decode(const std::string& path, const FileInfo& f, std::vector<float>& out) {
    gdcm::Reader reader;
    reader.SetFileName(path.c_str());
    if (!reader.Read() || !reader.GetFile().GetDataSet().FindDataElement(pixelDataTag))
        return "cannot read " + path + ": its pixel data is damaged or cut short";
    const gdcm::TransferSyntax ts = reader.GetFile().GetHeader().GetDataSetTransferSyntax();
    gdcm::Image image;
    image.SetNumberOfDimensions(f.frames > 1 ? 3 : 2);
    image.SetDimension(0, unsigned(f.columns));
    image.SetDimension(1, unsigned(f.rows));
    if (f.frames > 1) image.SetDimension(2, unsigned(f.frames));
    image.SetPixelFormat(gdcm::PixelFormat(1, (unsigned short)f.bitsAllocated,
                                           (unsigned short)f.bitsStored, (unsigned short)f.highBit,
                                           (unsigned short)f.signedSamples));
    image.SetPhotometricInterpretation(
        gdcm::PhotometricInterpretation::GetPIType(f.photometric.c_str()));
    image.SetTransferSyntax(ts);
    image.SetDataElement(reader.GetFile().GetDataSet().GetDataElement(pixelDataTag));
    std::vector<char> bytes(image.GetBufferLength());
    const size_t samples = size_t(f.rows) * f.columns * f.frames;
    if (bytes.size() < samples * (f.bitsAllocated / 8) || !image.GetBuffer(bytes.data()))
        return "cannot read " + path + ": its pixel data cannot be decoded (transfer syntax " +
               ts.GetString() + ")";
    const SampleType types[2][3] = {{SampleType::u8, SampleType::u16, SampleType::u32},
                                    {SampleType::i8, SampleType::i16, SampleType::i32}};
    out.clear();
    appendAsFloat(reinterpret_cast<const uint8_t*>(bytes.data()), samples,
                  types[f.signedSamples][f.bitsAllocated / 16], nativeBigEndian, out);
    // Some codecs give the stored bits unsigned whatever the header says.
    const double range = std::ldexp(1.0, f.bitsStored);
    for (size_t i = 0; i < out.size() && f.bitsStored < f.bitsAllocated; ++i) {
        const double x = std::fmod(out[i], range) + (out[i] < 0 ? range : 0);
        out[i] = float(f.signedSamples && x >= range / 2 ? x - range : x);
    }
    return "";
}

// Shared with the child: what it is doing, so that a crash can be pinned on a file.
struct Progress {
    bool decoding;
    size_t file;
};

struct Sender {
    int fd;
    bool bytes(const void* p, size_t n) {
        for (const char* c = static_cast<const char*>(p); n > 0;) {
            const ssize_t done = write(fd, c, n);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            c += done, n -= size_t(done);
        }
        return true;
    }
    template <typename T> bool pod(const T& v) { return bytes(&v, sizeof v); }
    bool string(const std::string& s) {
        return pod(uint32_t(s.size())) && bytes(s.data(), s.size());
    }
};

struct Receiver {
    int fd;
    bool bytes(void* p, size_t n) {
        for (char* c = static_cast<char*>(p); n > 0;) {
            const ssize_t done = read(fd, c, n);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            c += done, n -= size_t(done);
        }
        return true;
    }
    template <typename T> bool pod(T& v) { return bytes(&v, sizeof v); }
    bool string(std::string& s) {
        uint32_t n;
        if (!pod(n)) return false;
        s.resize(n);
        return bytes(&s[0], n);
    }
};

// The child: screens every file, plans, sends the plan, then the slices.
void readInChild(const std::string& folder, const std::vector<std::string>& paths,
                 const std::vector<bool>& crashed, Progress& progress, Sender out) {
    ImageRead r;
    std::vector<FileInfo> infos(paths.size());
    std::vector<Frame> frames;
    try {
        for (size_t i = 0; i < paths.size(); ++i) {
            progress.file = i;
            const size_t before = frames.size();
            try {
                if (!crashed[i]) infos[i] = screen(paths[i], i, frames);
            } catch (...) { // left out as unreadable, running out of memory too: a header is small
                frames.resize(before);
            }
        }
        progress.file = paths.size(); // past the files: the DICOM library is done with them
        frames = plan(folder, paths, infos, frames, r);
    } catch (const std::bad_alloc&) {
        r.error = "not enough memory to read " + folder;
    }
    const Samples& s = r.samples;
    bool sent = out.string(r.error) && out.pod(uint32_t(r.notes.size()));
    for (const std::string& note : r.notes)
        sent = sent && out.string(note);
    sent = sent && out.pod(s.size) && out.pod(s.spacing) && out.pod(s.direction) &&
           out.pod(s.patientSpace) && out.pod(s.unsignedBytes);
    if (!sent || !r.error.empty()) return;
    progress.decoding = true;
    std::vector<float> values, rescaled;
    size_t decoded = paths.size();
    const size_t slice = size_t(s.size[0]) * s.size[1];
    for (const Frame& f : frames) {
        std::string error;
        try {
            progress.file = f.file;
            if (decoded != f.file) error = decode(paths[f.file], infos[f.file], values);
            decoded = error.empty() ? f.file : paths.size();
        } catch (const std::bad_alloc&) {
            error = "not enough memory to read " + folder;
        } catch (const std::exception& e) {
            error = "cannot read " + paths[f.file] + ": " + e.what();
        }
        if (!error.empty()) {
            if (out.pod(char(1))) out.string(error);
            return;
        }
        const float* v = values.data() + f.index * slice;
        rescaled.assign(v, v + slice);
        for (float& x : rescaled)
            x = float(x * f.slope + f.intercept);
        if (!out.pod(char(0)) || !out.bytes(rescaled.data(), slice * sizeof(float))) return;
    }
}

// Reads the child's result into r; false if it stopped before the end.
bool receive(Receiver in, ImageRead& r) {
    uint32_t notes = 0;
    if (!in.string(r.error) || !in.pod(notes)) return false;
    r.notes.resize(notes);
    for (std::string& note : r.notes)
        if (!in.string(note)) return false;
    Samples& s = r.samples;
    if (!in.pod(s.size) || !in.pod(s.spacing) || !in.pod(s.direction) || !in.pod(s.patientSpace) ||
        !in.pod(s.unsignedBytes))
        return false;
    if (!r.error.empty()) return true;
    const size_t slice = size_t(s.size[0]) * s.size[1];
    // Rescaled per slice by the child: float samples.
    float* values = reinterpret_cast<float*>(s.allocate(SampleType::f32, s.count()));
    for (int k = 0; k < s.size[2]; ++k) {
        char status = 0;
        if (!in.pod(status)) return false;
        if (status != 0) return in.string(r.error);
        if (!in.bytes(values + k * slice, slice * sizeof(float))) return false;
    }
    return true;
}

// One child from fork to its end: reaped however the parent leaves.
class Child {
  public:
    Child(const std::string& folder, const std::vector<std::string>& paths,
          const std::vector<bool>& crashed) {
        progress = static_cast<Progress*>(mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE,
                                               MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        int fds[2];
        if (progress == MAP_FAILED || pipe(fds) != 0) return;
        *progress = Progress{false, 0};
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY); // the libraries' own messages
            dup2(null, 1), dup2(null, 2);
            const rlimit noCore = {0, 0}; // an abort is expected here, its core dump is not
            setrlimit(RLIMIT_CORE, &noCore);
            std::set_new_handler(nullptr); // running out of memory is answered here

            readInChild(folder, paths, crashed, *progress, Sender{fds[1]});
            _exit(0);
        }
        close(fds[1]);
        fd = pid > 0 ? fds[0] : (close(fds[0]), -1);
    }
    Child(const Child&) = delete;
    ~Child() {
        if (fd >= 0) close(fd);
        if (pid > 0) kill(pid, SIGKILL), wait();
        if (progress != MAP_FAILED) munmap(progress, sizeof(Progress));
    }
    // The signal that ended it, 0 if none.
    int wait() {
        int status = 0;
        while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    int fd = -1;
    pid_t pid = -1;
    Progress* progress = static_cast<Progress*>(MAP_FAILED);
};

} // namespace

void readDicomTree(const std::string& folder, ImageRead& r) {
    std::vector<std::string> paths;
    std::error_code ec;
    namespace fs = std::filesystem;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                             ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec)) paths.push_back(it->path().string());
    std::sort(paths.begin(), paths.end());
    std::vector<bool> crashed(paths.size());
    for (;;) {
        ImageRead got;
        Child child(folder, paths, crashed);
        if (child.fd < 0) {
            r.error = "cannot read " + folder + ": " + std::strerror(errno);
            return;
        }
        const bool whole = receive(Receiver{child.fd}, got);
        const int killedBy = child.wait();
        const size_t file = child.progress->file;
        if (whole) {
            r = std::move(got);
            return;
        }
        // The kernel's answer to running out of memory; while screening, a
        // damaged header's length can ask for that much.
        if (killedBy == SIGKILL && child.progress->decoding) {
            r.error = "not enough memory to read " + folder;
            return;
        }
        if (child.progress->decoding || file >= paths.size() || crashed[file]) {
            r.error = "cannot read " + (file < paths.size() ? paths[file] : folder) +
                      ": the DICOM library stopped on it" +
                      (killedBy ? " (signal " + std::to_string(killedBy) + ")" : "");
            return;
        }
        crashed[file] = true; // screened again without it
    }
}

std::string dicomFileProblem(const std::string& path) {
    std::vector<Frame> frames;
    const FileInfo info = screen(path, 0, frames);
    return info.kind == Kind::unreadable ? "" : cutShort(path, info);
}
