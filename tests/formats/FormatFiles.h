// Tiny volumes from ITK's own writers, in a temporary folder gone with the object.
#pragma once
#include "volume/formats/ImageReader.h"

#include <itkGDCMImageIO.h>
#include <itkImage.h>
#include <itkImageFileWriter.h>
#include <itkMetaDataObject.h>
#include <itkMetaImageIOFactory.h>
#include <itkNiftiImageIOFactory.h>
#include <itkNrrdImageIOFactory.h>
#include <itkTIFFImageIOFactory.h>
#include <itkVTKImageIOFactory.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class TempDir {
  public:
    TempDir() = default;
    TempDir(const TempDir&) = delete; // one owner removes it
    ~TempDir() {
        if (made) std::filesystem::remove_all(path);
    }
    std::string operator/(const std::string& name) const { return path + ("/" + name); }

  private:
    char path[27] = "/tmp/skorel-formats-XXXXXX";
    bool made = mkdtemp(path) != nullptr;
};

// Negative, above one byte, and different at every neighbour.
inline short ramp(size_t i) {
    return short(int(i * 37 % 1000) - 300);
}

// Sizes and spacing per axis; sample i in file order is value(i + first).
template <typename T, unsigned D>
auto makeImage(const std::vector<size_t>& sizes, const std::vector<double>& spacing,
               T (*value)(size_t), size_t first = 0) {
    const auto image = itk::Image<T, D>::New();
    typename itk::Image<T, D>::SizeType size;
    typename itk::Image<T, D>::SpacingType sp;
    for (unsigned i = 0; i < D; ++i)
        size[i] = sizes[i], sp[i] = spacing[i];
    image->SetRegions(size);
    image->SetSpacing(sp);
    image->Allocate();
    for (size_t i = 0; i < image->GetLargestPossibleRegion().GetNumberOfPixels(); ++i)
        image->GetBufferPointer()[i] = value(i + first);
    return image;
}

template <typename Image>
void writeImage(Image* image, const std::string& path, itk::ImageIOBase* io = nullptr,
                bool compress = false) {
    [[maybe_unused]] static const bool registered = [] {
        itk::MetaImageIOFactory::RegisterOneFactory();
        itk::NiftiImageIOFactory::RegisterOneFactory();
        itk::NrrdImageIOFactory::RegisterOneFactory();
        itk::TIFFImageIOFactory::RegisterOneFactory();
        itk::VTKImageIOFactory::RegisterOneFactory();
        return true;
    }();
    const auto writer = itk::ImageFileWriter<Image>::New();
    writer->SetInput(image);
    writer->SetFileName(path);
    if (io) writer->SetImageIO(io);
    writer->SetUseCompression(compress);
    writer->Update();
}

// An MR slice of series uid (MR keeps the slice positions), its UIDs kept.
template <typename Image>
void writeDicomSlice(Image* slice, const std::string& path, const std::string& uid) {
    itk::MetaDataDictionary& tags = slice->GetMetaDataDictionary();
    itk::EncapsulateMetaData<std::string>(tags, "0008|0016", "1.2.840.10008.5.1.4.1.1.4");
    itk::EncapsulateMetaData<std::string>(tags, "0008|0060", "MR");
    itk::EncapsulateMetaData<std::string>(tags, "0020|000e", uid);
    const auto io = itk::GDCMImageIO::New();
    io->KeepOriginalUIDOn();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    writeImage(slice, path, io);
}

// One 4 x 3 DICOM file per slice, slices sliceSpacing apart, in one series.
inline void writeDicomSeries(const std::string& folder, const std::string& uid, int slices,
                             double sliceSpacing, short (*value)(size_t)) {
    for (int k = 0; k < slices; ++k) {
        auto slice = makeImage<short, 3>({4, 3, 1}, {0.5, 0.75, sliceSpacing}, value, 12 * k);
        itk::EncapsulateMetaData<std::string>(slice->GetMetaDataDictionary(), "0020|0032",
                                              "0\\0\\" + std::to_string(k * sliceSpacing));
        writeDicomSlice(slice.GetPointer(), folder + "/" + uid + "-" + std::to_string(k) + ".dcm",
                        uid);
    }
}

// Sizes, spacing, sample count, first and last sample, one-byte source, then
// the direction rows where there is a patient space; to 1e-6.
inline std::vector<double> summary(const ImageRead& r) {
    const Samples& s = r.samples;
    std::vector<double> v(s.size, s.size + 3);
    v.insert(v.end(), s.spacing, s.spacing + 3);
    const std::vector<float> values = s.asFloats();
    v.insert(v.end(),
             {double(values.size()), values.front(), values.back(), double(s.unsignedBytes)});
    for (int i = 0; i < 9 && s.patientSpace; ++i)
        v.push_back(s.direction[i / 3][i % 3]);
    for (double& x : v)
        x = std::round(x * 1e6) / 1e6;
    return v;
}
