// NIfTI-2 single files (.nii, .nii.gz), which ITK 5.2 cannot read: the
// 540-byte header in either byte order, plain or gzip.
#pragma once
#include "volume/formats/ImageReader.h"

#include <string>

// Whether the file (plain or gzip) starts with a NIfTI-2 header.
bool isNifti2(const std::string& path);

// Reads volume volumeIndex (a negative index means 0, with a note) of a 4D
// file, or the one volume of a 3D file, into r as readImage does. Reads
// NIfTI-1 single files too, for those ITK refuses (sheared axes).
void readNifti2(const std::string& path, int volumeIndex, ImageRead& r);
