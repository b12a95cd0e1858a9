// Image files and DICOM series folders through ITK: NIfTI and Analyze, NRRD,
// MetaImage, TIFF stacks, VTK legacy images and DICOM.
#pragma once
#include "volume/formats/Samples.h"

#include <string>
#include <vector>

struct ImageRead {
    Samples samples;
    std::vector<std::string> notes; // lines for standard output
    std::string error;              // one line without a line end; empty on success
};

// A file, or a folder holding a DICOM series (the one with the most slices).
// A 4D series gives its volume volumeIndex (from 0); a negative index means 0,
// with a note that says so. headerRead, where given, is called once the
// header has been read and checked, before the samples are.
ImageRead readImage(const std::string& path, int volumeIndex,
                    std::function<void()> headerRead = nullptr);
