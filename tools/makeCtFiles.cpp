// Writes the measuring files from a headerless CT (int16 little-endian):
//   makeCtFiles MATRIX.dat OUT-FOLDER [slices]
// OUT/ct.nrrd and OUT/ct.nii.gz (gzip), and OUT/ct-long.mha (uncompressed),
// whose slices repeat the CT's along z up to `slices` (default 2160).
#include <itkImage.h>
#include <itkImageFileWriter.h>
#include <itkMetaImageIO.h>
#include <itkNiftiImageIO.h>
#include <itkNrrdImageIO.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Image = itk::Image<int16_t, 3>;
const int columns = 256, rows = 256, ctSlices = 108;

Image::Pointer makeImage(const std::vector<int16_t>& ct, int slices) {
    const Image::Pointer image = Image::New();
    Image::SizeType size;
    size[0] = columns, size[1] = rows, size[2] = size_t(slices);
    image->SetRegions(Image::RegionType(size));
    const double spacing[3] = {0.957, 0.957, 1.5};
    image->SetSpacing(spacing);
    image->Allocate();
    const size_t slice = size_t(columns) * rows;
    for (int z = 0; z < slices; ++z)
        std::copy(ct.begin() + long(slice * size_t(z % ctSlices)),
                  ct.begin() + long(slice * size_t(z % ctSlices + 1)),
                  image->GetBufferPointer() + slice * size_t(z));
    return image;
}

void write(const Image::Pointer& image, itk::ImageIOBase* io, const std::string& path,
           bool compressed) {
    const auto writer = itk::ImageFileWriter<Image>::New();
    writer->SetImageIO(io);
    writer->SetInput(image);
    writer->SetFileName(path);
    writer->SetUseCompression(compressed);
    writer->Update();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage: makeCtFiles MATRIX.dat OUT-FOLDER [slices]\n");
        return 1;
    }
    std::vector<int16_t> ct(size_t(columns) * rows * ctSlices);
    FILE* f = std::fopen(argv[1], "rb");
    if (!f || std::fread(ct.data(), 2, ct.size(), f) != ct.size()) {
        std::fprintf(stderr, "Error: cannot read %s\n", argv[1]);
        return 1;
    }
    std::fclose(f);
    const std::string out = argv[2];
    const Image::Pointer image = makeImage(ct, ctSlices);
    write(image, itk::NrrdImageIO::New(), out + "/ct.nrrd", true);
    write(image, itk::NiftiImageIO::New(), out + "/ct.nii.gz", true);
    write(makeImage(ct, argc > 3 ? std::atoi(argv[3]) : 2160), itk::MetaImageIO::New(),
          out + "/ct-long.mha", false);
    return 0;
}
