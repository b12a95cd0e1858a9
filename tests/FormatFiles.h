// Tiny volumes written by ITK's own writers (and an Analyze header by hand)
// into a temporary folder that goes with the object.
#pragma once
#include <itkGDCMImageIO.h>
#include <itkImage.h>
#include <itkImageFileWriter.h>
#include <itkMetaDataObject.h>
#include <itkMetaImageIOFactory.h>
#include <itkNiftiImageIOFactory.h>
#include <itkNrrdImageIOFactory.h>
#include <itkTIFFImageIOFactory.h>
#include <itkVTKImageIOFactory.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/skorel-formats-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~TempDir() {
        if (!path.empty()) std::filesystem::remove_all(path);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }

  private:
    std::string path;
};

// An image of the given sizes whose samples are value(index in file order).
template <typename T, unsigned D>
typename itk::Image<T, D>::Pointer makeImage(const std::vector<size_t>& sizes,
                                             const std::vector<double>& spacing,
                                             T (*value)(size_t)) {
    using Image = itk::Image<T, D>;
    typename Image::Pointer image = Image::New();
    typename Image::SizeType size;
    typename Image::SpacingType sp;
    for (unsigned i = 0; i < D; ++i)
        size[i] = sizes[i], sp[i] = spacing[i];
    image->SetRegions(size);
    image->SetSpacing(sp);
    image->Allocate();
    T* p = image->GetBufferPointer();
    for (size_t i = 0; i < image->GetLargestPossibleRegion().GetNumberOfPixels(); ++i)
        p[i] = value(i);
    return image;
}

template <typename Image> void writeImage(const Image* image, const std::string& path) {
    static const bool registered = [] {
        itk::MetaImageIOFactory::RegisterOneFactory();
        itk::NiftiImageIOFactory::RegisterOneFactory();
        itk::NrrdImageIOFactory::RegisterOneFactory();
        itk::TIFFImageIOFactory::RegisterOneFactory();
        itk::VTKImageIOFactory::RegisterOneFactory();
        return true;
    }();
    (void)registered;
    const auto writer = itk::ImageFileWriter<Image>::New();
    writer->SetInput(image);
    writer->SetFileName(path);
    writer->Update();
}

// One DICOM file per slice of a series, slices sliceSpacing apart.
inline void writeDicomSeries(const std::string& folder, const std::string& seriesUid, int slices,
                             double sliceSpacing, short (*value)(size_t)) {
    using Image = itk::Image<short, 3>;
    std::filesystem::create_directories(folder);
    for (int k = 0; k < slices; ++k) {
        Image::Pointer slice = makeImage<short, 3>({4, 3, 1}, {0.5, 0.75, sliceSpacing}, value);
        short* p = slice->GetBufferPointer();
        for (size_t i = 0; i < 12; ++i)
            p[i] = value(i + 12 * size_t(k));
        Image::PointType origin;
        origin[0] = origin[1] = 0, origin[2] = k * sliceSpacing;
        slice->SetOrigin(origin);
        const auto io = itk::GDCMImageIO::New();
        io->KeepOriginalUIDOn();
        itk::MetaDataDictionary& tags = slice->GetMetaDataDictionary();
        const std::string position = "0\\0\\" + std::to_string(k * sliceSpacing);
        itk::EncapsulateMetaData<std::string>(tags, "0020|000e", seriesUid);
        itk::EncapsulateMetaData<std::string>(tags, "0020|000d", "1.2.826.0.1.3680043.2.1125.9");
        itk::EncapsulateMetaData<std::string>(tags, "0008|0018",
                                              seriesUid + "." + std::to_string(k + 1));
        itk::EncapsulateMetaData<std::string>(tags, "0008|0060", "MR");
        itk::EncapsulateMetaData<std::string>(tags, "0008|0016", "1.2.840.10008.5.1.4.1.1.4");
        itk::EncapsulateMetaData<std::string>(tags, "0020|0013", std::to_string(k + 1));
        itk::EncapsulateMetaData<std::string>(tags, "0020|0032", position);
        const auto writer = itk::ImageFileWriter<Image>::New();
        writer->SetInput(slice);
        writer->SetImageIO(io);
        writer->SetFileName(folder + "/" + seriesUid + "-" + std::to_string(k) + ".dcm");
        writer->Update();
    }
}
