#include "volume/formats/ImageReader.h"

#include "volume/formats/DicomFolder.h"
#include "volume/formats/FileChecks.h"
#include "volume/formats/Nifti2.h"
#include "volume/formats/TiffInfo.h"

#include <gdcmTrace.h>
#include <itkGDCMImageIO.h>
#include <itkImage.h>
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

// Where the file places its axes in patient space. NIfTI leaves it unset when
// both codes are 0 (Analyze has a fixed one); a NRRD space may be a scanner's
// or any right-handed frame rather than the patient's.
void placeInPatientSpace(itk::ImageIOBase& io, Samples& s) {
    const std::string name = io.GetNameOfClass();
    const auto tag = [&io](const char* key) {
        std::string value;
        itk::ExposeMetaData<std::string>(io.GetMetaDataDictionary(), key, value);
        return value;
    };
    if (name == "NiftiImageIO")
        s.patientSpace = tag("nifti_type") == "0" || std::atoi(tag("qform_code").c_str()) > 0 ||
                         std::atoi(tag("sform_code").c_str()) > 0;
    else if (name == "NrrdImageIO")
        s.patientSpace = tag("NRRD_space").find("superior") != std::string::npos;
    else
        s.patientSpace = name == "MetaImageIO" || name == "GDCMImageIO";
    for (int a = 0; a < 3 && s.patientSpace; ++a)
        for (int k = 0; k < 3; ++k)
            s.direction[a][k] = io.GetDirection(a)[k];
}

// ITK's reader for the file, its header read; null once r is settled: an
// error, or the file read by readNifti2 instead.
itk::ImageIOBase::Pointer readHeader(const std::string& path, int volumeIndex, ImageRead& r) {
    const itk::ImageIOBase::Pointer io = findImageIO(path);
    if (!io) {
        r.error = path + ": unknown format; for headerless data give --size and --type";
        return nullptr;
    }
    io->SetFileName(path);
    try {
        io->ReadImageInformation();
    } catch (const itk::ExceptionObject& e) {
        // ITK refuses sheared NIfTI-1 axes; the viewer drops the shear itself.
        if (std::string(io->GetNameOfClass()) != "NiftiImageIO" ||
            std::string(e.GetDescription()).find("orthonormal") == std::string::npos)
            throw;
        readNifti2(path, volumeIndex, r);
        return nullptr;
    }
    return io;
}

// ITK reads a NIfTI series whole; our reader reads the one volume shown.
bool isNiftiSeries(const std::string& path, itk::ImageIOBase& io) {
    const bool single = path.size() > 4 && (path.rfind(".nii") == path.size() - 4 ||
                                            path.rfind(".nii.gz") == path.size() - 7);
    return io.GetNumberOfDimensions() == 4 && single &&
           std::string(io.GetNameOfClass()) == "NiftiImageIO";
}

std::vector<size_t> axisSizes(itk::ImageIOBase& io) {
    std::vector<size_t> sizes;
    for (unsigned i = 0; i < io.GetNumberOfDimensions(); ++i)
        sizes.push_back(io.GetDimensions(i));
    return sizes;
}

// Components and axes; empty when the volume can be shown.
std::string layoutProblem(const std::string& path, itk::ImageIOBase& io,
                          const std::vector<size_t>& sizes) {
    if (io.GetNumberOfComponents() != 1)
        return path + " has " + std::to_string(io.GetNumberOfComponents()) +
               " components per voxel (colour or vector data); only scalar volumes can be "
               "shown";
    if (sizes.size() > 4)
        return path + " has " + std::to_string(sizes.size()) +
               " dimensions; at most 4 can be shown";
    return shapeProblem(path, sizes);
}

// False, with the error, when a 4D series has no volume volumeIndex; a note
// when the index was left to its default.
bool checkVolumeIndex(const std::string& path, const std::vector<size_t>& sizes, int volumeIndex,
                      ImageRead& r) {
    const size_t volumes = sizes.size() == 4 ? sizes[3] : 1;
    if (volumeIndex >= int(volumes)) {
        r.error = "--volume " + std::to_string(volumeIndex) + " is past the last volume of " +
                  path + " (" + std::to_string(volumes - 1) + ")";
        return false;
    }
    if (volumes > 1 && volumeIndex < 0)
        r.notes.push_back(path + " is a 4D series of " + std::to_string(volumes) +
                          " volumes; showing volume 0 (--volume N picks another)");
    return true;
}

// Reads the shown volume into s: of a 4D series only that volume, where the
// reader can read a part, else the whole series with s.data at the volume.
void readShownVolume(const std::string& path, itk::ImageIOBase& io,
                     const std::vector<size_t>& sizes, int volumeIndex, SampleType type,
                     ImageRead& r) {
    Samples& s = r.samples;
    for (int axis = 0; axis < 3; ++axis) {
        s.size[axis] = int(sizes[axis]);
        s.spacing[axis] = io.GetSpacing(axis);
    }
    const unsigned dims = unsigned(sizes.size());
    const size_t shown = size_t(std::max(volumeIndex, 0));
    const bool part = dims == 4 && io.CanStreamRead();
    itk::ImageIORegion region(dims);
    for (unsigned i = 0; i < dims; ++i)
        region.SetSize(i, sizes[i]);
    if (part) region.SetIndex(3, itk::ImageIORegion::IndexValueType(shown)), region.SetSize(3, 1);
    io.SetIORegion(region);
    r.error = memoryProblem(path, region.GetNumberOfPixels() * io.GetComponentSize());
    if (!r.error.empty()) return;
    io.Read(s.allocate(type, region.GetNumberOfPixels()));
    if (!part) s.data += shown * s.count() * size_t(sampleBytes(type));
    s.unsignedBytes = type == SampleType::u8;
    placeInPatientSpace(io, s);
}

void readFile(const std::string& path, int volumeIndex, ImageRead& r) {
    if (isNifti2(path)) return readNifti2(path, volumeIndex, r);
    const TiffInfo tiff = readTiffInfo(path); // ITK takes a cut stack for fewer pages
    if (!(r.error = tiff.error).empty()) return;
    const itk::ImageIOBase::Pointer io = readHeader(path, volumeIndex, r);
    if (!io) return;
    r.error =
        std::string(io->GetNameOfClass()) == "GDCMImageIO"
            ? dicomFileProblem(path)
            : shortDataProblem(dataPlace(path, io->GetNameOfClass()), io->GetImageSizeInBytes());
    if (!r.error.empty()) return;
    if (isNiftiSeries(path, *io)) return readNifti2(path, volumeIndex, r);
    const std::vector<size_t> sizes = axisSizes(*io);
    r.error = layoutProblem(path, *io, sizes);
    if (!r.error.empty() || !checkVolumeIndex(path, sizes, volumeIndex, r)) return;
    SampleType type;
    if (!sampleTypeOf(io->GetComponentType(), io->GetComponentSize(), type)) {
        r.error = path + ": unsupported sample type";
        return;
    }
    readShownVolume(path, *io, sizes, volumeIndex, type, r);
    applyTiffInfo(path, tiff, r);
}

void readDicomFolder(const std::string& path, ImageRead& r) {
    readDicomTree(path, r);
    const Samples& s = r.samples;
    if (r.error.empty())
        r.error = shapeProblem(path, {size_t(s.size[0]), size_t(s.size[1]), size_t(s.size[2])});
}

} // namespace

ImageRead readImage(const std::string& path, int volumeIndex, std::function<void()> headerRead) {
    ImageRead r;
    r.samples.headerRead = std::move(headerRead);
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
    if (!r.error.empty()) r.samples.block.reset(), r.samples.data = nullptr;
    r.samples.headerRead = nullptr;
    return r;
}
