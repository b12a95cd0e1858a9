// The reference for skorel-open's open: ITK alone reading a file's header and
// samples into a buffer of the file's type, left uninitialised as ITK's own
// images are. Shared by tools/openTiming and the benchmarks.
#pragma once
#include <itkMetaImageIO.h>
#include <itkNiftiImageIO.h>
#include <itkNrrdImageIO.h>

#include <memory>
#include <stdexcept>
#include <string>

// The bytes read; throws for a file none of the three readers takes.
inline size_t readWithItkAlone(const std::string& path) {
    const itk::ImageIOBase::Pointer candidates[] = {
        itk::NiftiImageIO::New(), itk::NrrdImageIO::New(), itk::MetaImageIO::New()};
    for (const itk::ImageIOBase::Pointer& io : candidates) {
        if (!io->CanReadFile(path.c_str())) continue;
        io->SetFileName(path);
        io->ReadImageInformation();
        itk::ImageIORegion region(io->GetNumberOfDimensions());
        for (unsigned i = 0; i < io->GetNumberOfDimensions(); ++i)
            region.SetSize(i, io->GetDimensions(i));
        io->SetIORegion(region);
        std::unique_ptr<char[]> buffer(new char[io->GetImageSizeInBytes()]);
        io->Read(buffer.get());
        return io->GetImageSizeInBytes();
    }
    throw std::runtime_error("no ITK reader for " + path);
}
