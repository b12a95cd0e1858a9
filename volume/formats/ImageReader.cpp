#include "volume/formats/ImageReader.h"

#include <gdcmTrace.h>
#include <itkGDCMImageIO.h>
#include <itkGDCMSeriesFileNames.h>
#include <itkImage.h>
#include <itkImageSeriesReader.h>
#include <itkMetaImageIO.h>
#include <itkNiftiImageIO.h>
#include <itkNrrdImageIO.h>
#include <itkTIFFImageIO.h>
#include <itkVTKImageIO.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <zlib.h>

namespace {

using Component = itk::IOComponentEnum;
const bool nativeBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

bool sampleTypeOf(Component component, size_t bytes, SampleType& out) {
    switch (component) {
    case Component::UCHAR:
        out = SampleType::u8;
        return true;
    case Component::CHAR:
        out = SampleType::i8;
        return true;
    case Component::USHORT:
        out = SampleType::u16;
        return true;
    case Component::SHORT:
        out = SampleType::i16;
        return true;
    case Component::UINT:
    case Component::ULONG:
    case Component::ULONGLONG:
        out = bytes == 8 ? SampleType::u64 : SampleType::u32;
        return true;
    case Component::INT:
    case Component::LONG:
    case Component::LONGLONG:
        out = bytes == 8 ? SampleType::i64 : SampleType::i32;
        return true;
    case Component::FLOAT:
        out = SampleType::f32;
        return true;
    case Component::DOUBLE:
        out = SampleType::f64;
        return true;
    default:
        return false;
    }
}

// ITK's descriptions run over several lines; the viewer reports one.
std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        const char d = c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
        if (d == ' ' && (line.empty() || line.back() == ' ')) continue;
        line += d;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

itk::ImageIOBase::Pointer findImageIO(const std::string& path) {
    const itk::ImageIOBase::Pointer candidates[] = {
        itk::NiftiImageIO::New(), itk::NrrdImageIO::New(), itk::MetaImageIO::New(),
        itk::TIFFImageIO::New(),  itk::VTKImageIO::New(),  itk::GDCMImageIO::New()};
    for (const itk::ImageIOBase::Pointer& io : candidates)
        if (io->CanReadFile(path.c_str())) return io;
    return nullptr;
}

// Checks the axes of a volume of the given sizes; empty when it can be shown.
std::string shapeProblem(const std::string& path, const std::vector<size_t>& sizes) {
    std::string text;
    for (size_t s : sizes)
        text += (text.empty() ? "" : "x") + std::to_string(s);
    for (size_t s : sizes)
        if (s == 0) return path + " has an empty axis (" + text + ")";
    if (sizes.size() < 3 || sizes[0] < 2 || sizes[1] < 2 || sizes[2] < 2)
        return path + " is a 2D image (" + text + "); a volume needs three axes";
    return std::string();
}

// ITK's NIfTI reader takes a cut gzip stream for a whole one and fills the
// missing samples with garbage. Decompressing the whole stream once more to
// check it would double the time to open, so the check starts with gzip's
// trailer, which holds the stream's length (mod 2^32): a whole NIfTI stream is
// its header (vox_offset bytes) and the samples, a cut one ends in arbitrary
// bytes. Streams whose length cannot be foreseen are decompressed to the end.
bool gzipTrailerLength(const std::string& path, uint32_t& length) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char magic[2] = {0, 0}, tail[4];
    const bool gzip = std::fread(magic, 1, 2, file) == 2 && magic[0] == 0x1f && magic[1] == 0x8b &&
                      std::fseek(file, -4, SEEK_END) == 0 && std::fread(tail, 1, 4, file) == 4;
    std::fclose(file);
    length = uint32_t(tail[0]) | uint32_t(tail[1]) << 8 | uint32_t(tail[2]) << 16 |
             uint32_t(tail[3]) << 24;
    return gzip;
}

// vox_offset of a NIfTI-1 or NIfTI-2 header in either byte order; 0 if none.
uint64_t niftiDataOffset(gzFile file) {
    unsigned char header[176];
    if (gzread(file, header, sizeof header) != int(sizeof header)) return 0;
    const auto field = [&](int at, int bytes, bool swap) {
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= uint64_t(header[at + (swap ? i : bytes - 1 - i)]) << (8 * (bytes - 1 - i));
        return value;
    };
    for (bool swap : {false, true}) {
        const uint64_t size = field(0, 4, swap);
        if (size == 540) return field(168, 8, swap);
        if (size != 348) continue;
        const uint32_t bits = uint32_t(field(108, 4, swap));
        float offset;
        std::memcpy(&offset, &bits, 4);
        return offset >= 348 ? uint64_t(offset) : 0;
    }
    return 0;
}

// Empty when the file is not gzip or its stream is whole.
std::string gzipProblem(const std::string& path, uint64_t imageBytes) {
    uint32_t length;
    if (!gzipTrailerLength(path, length)) return std::string();
    const gzFile file = gzopen(path.c_str(), "rb");
    if (!file) return std::string();
    const uint64_t offset = niftiDataOffset(file);
    int status = Z_OK;
    if (offset == 0 || uint32_t(offset + imageBytes) != length) {
        std::vector<char> buffer(1 << 16);
        while (gzread(file, buffer.data(), unsigned(buffer.size())) > 0) {
        }
        gzerror(file, &status);
    }
    std::string why = status == Z_OK || status == Z_STREAM_END ? "" : gzerror(file, &status);
    gzclose(file);
    if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
    return why.empty() ? why : "cannot read " + path + ": compressed data: " + why;
}

void readFile(const std::string& path, int volumeIndex, ImageRead& r) {
    const itk::ImageIOBase::Pointer io = findImageIO(path);
    if (!io) {
        r.error = path + ": unknown format; for headerless data give --size and --type";
        return;
    }
    io->SetFileName(path);
    io->ReadImageInformation();
    r.error = gzipProblem(path, io->GetImageSizeInBytes());
    if (!r.error.empty()) return;
    const unsigned dims = io->GetNumberOfDimensions();
    if (io->GetNumberOfComponents() != 1) {
        r.error = path + " has " + std::to_string(io->GetNumberOfComponents()) +
                  " components per voxel (colour or vector data); only scalar volumes can be "
                  "shown";
        return;
    }
    std::vector<size_t> sizes;
    for (unsigned i = 0; i < dims; ++i)
        sizes.push_back(io->GetDimensions(i));
    if (dims > 4) {
        r.error = path + " has " + std::to_string(dims) + " dimensions; at most 4 can be shown";
        return;
    }
    r.error = shapeProblem(path, sizes);
    if (!r.error.empty()) return;
    const size_t volumes = dims == 4 ? sizes[3] : 1;
    if (volumeIndex >= int(volumes)) {
        r.error = "--volume " + std::to_string(volumeIndex) + " is past the last volume of " +
                  path + " (" + std::to_string(volumes - 1) + ")";
        return;
    }
    if (volumes > 1 && volumeIndex < 0)
        r.notes.push_back(path + " is a 4D series of " + std::to_string(volumes) +
                          " volumes; showing volume 0 (--volume N picks another)");
    SampleType type;
    if (!sampleTypeOf(io->GetComponentType(), io->GetComponentSize(), type)) {
        r.error = path + ": unsupported sample type";
        return;
    }
    itk::ImageIORegion region(dims);
    for (unsigned i = 0; i < dims; ++i)
        region.SetSize(i, sizes[i]);
    io->SetIORegion(region);
    std::vector<uint8_t> bytes(io->GetImageSizeInBytes());
    io->Read(bytes.data());

    Samples& s = r.samples;
    const size_t count = sizes[0] * sizes[1] * sizes[2];
    const size_t first = size_t(std::max(volumeIndex, 0)) * count * sampleBytes(type);
    appendAsFloat(bytes.data() + first, count, type, nativeBigEndian, s.values);
    for (int axis = 0; axis < 3; ++axis) {
        s.size[axis] = int(sizes[axis]);
        s.spacing[axis] = io->GetSpacing(axis);
    }
    s.unsignedBytes = type == SampleType::u8;
}

void readDicomFolder(const std::string& path, ImageRead& r) {
    const itk::GDCMSeriesFileNames::Pointer names = itk::GDCMSeriesFileNames::New();
    names->SetDirectory(path);
    const std::vector<std::string>& uids = names->GetSeriesUIDs();
    std::string uid;
    size_t slices = 0;
    for (const std::string& u : uids) {
        const size_t n = names->GetFileNames(u).size();
        if (n > slices) uid = u, slices = n;
    }
    if (uids.empty()) {
        r.error = path + ": no DICOM series in this folder";
        return;
    }
    if (uids.size() > 1)
        r.notes.push_back(path + " holds " + std::to_string(uids.size()) +
                          " DICOM series; showing " + uid + " (" + std::to_string(slices) +
                          " slices), the one with the most slices");
    const std::vector<std::string> files = names->GetFileNames(uid);
    const itk::GDCMImageIO::Pointer io = itk::GDCMImageIO::New();
    io->SetFileName(files[0]);
    io->ReadImageInformation();
    if (io->GetNumberOfComponents() != 1) {
        r.error = path + " holds colour DICOM images; only scalar volumes can be shown";
        return;
    }
    std::vector<size_t> sizes = {io->GetDimensions(0), io->GetDimensions(1), files.size()};
    r.error = shapeProblem(path, sizes);
    if (!r.error.empty()) return;

    using Image = itk::Image<float, 3>;
    const itk::ImageSeriesReader<Image>::Pointer reader = itk::ImageSeriesReader<Image>::New();
    reader->SetImageIO(io);
    reader->SetFileNames(files);
    reader->Update();
    const Image* image = reader->GetOutput();
    const Image::SizeType size = image->GetLargestPossibleRegion().GetSize();
    Samples& s = r.samples;
    for (int axis = 0; axis < 3; ++axis) {
        s.size[axis] = int(size[axis]);
        s.spacing[axis] = image->GetSpacing()[axis];
    }
    const float* values = image->GetBufferPointer();
    s.values.assign(values, values + size[0] * size[1] * size[2]);
    s.unsignedBytes = io->GetComponentType() == Component::UCHAR;
}

} // namespace

ImageRead readImage(const std::string& path, int volumeIndex) {
    ImageRead r;
    // Readers report failures through exceptions; their warnings would add
    // lines to standard error that say nothing to a viewer's user.
    itk::Object::GlobalWarningDisplayOff();
    gdcm::Trace::WarningOff();
    gdcm::Trace::ErrorOff();
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        r.error = "cannot open " + path + ": " + std::strerror(errno);
        return r;
    }
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) {
        r.error = "cannot open " + path + ": not a regular file"; // a pipe would block the readers
        return r;
    }
    try {
        if (S_ISDIR(info.st_mode)) {
            if (volumeIndex > 0)
                r.error = "--volume " + std::to_string(volumeIndex) + " given, but " + path +
                          " is a DICOM folder with one volume";
            else
                readDicomFolder(path, r);
        } else {
            readFile(path, volumeIndex, r);
        }
    } catch (const itk::ExceptionObject& e) {
        r.error = "cannot read " + path + ": " + oneLine(e.GetDescription());
    } catch (const std::bad_alloc&) {
        r.error = "not enough memory to read " + path;
    } catch (const std::exception& e) {
        r.error = "cannot read " + path + ": " + oneLine(e.what());
    }
    if (!r.error.empty()) r.samples = Samples();
    return r;
}
