// What ITK's TIFF reader leaves out: the spacing ImageJ writes into its
// stacks, and whether every page of a stack is in the file (ITK takes a cut
// stack for a shorter one, or for a 2D image).
#pragma once
#include "volume/formats/ImageReader.h"

#include <string>

struct TiffInfo {
    bool imageJ = false;           // the first page's description is ImageJ's
    double spacing[3] = {0, 0, 0}; // in ImageJ's unit; 0 where not given
    std::string unit;              // as ImageJ wrote it
    std::string error;             // one line when the file is cut short
};

// The first page's ImageJ fields and the checks of every page's place and
// samples against the file's length; nothing for files that are not TIFF.
// Also keeps libtiff's warnings (ImageJ's private tags) off the console
// before ITK reads the file.
TiffInfo readTiffInfo(const std::string& path);

// Puts ImageJ's spacing into samples that ITK read, with a note that says so.
void applyTiffInfo(const std::string& path, const TiffInfo& info, ImageRead& r);
