// DICOM folders as scanners and exports fill them: a tree of files, some of
// them slices of one or more image series, others dose, structure sets,
// reports, directories or anything at all.
#pragma once
#include "volume/formats/ImageReader.h"

#include <string>

// Reads the series with the most slices anywhere under folder into r: slices
// ordered along their normal, spacing and patient-space directions set, with
// notes for the files left out, the other series and gaps; r.error otherwise.
// The DICOM library aborts on some damaged files, so every file is parsed in
// a child process and one that kills it is only left out.
void readDicomTree(const std::string& folder, ImageRead& r);

// Empty when one DICOM file's pixel data hold what its header claims (or are
// compressed); else the one-line reason. Parsed here, not in a child: the
// caller's reader has parsed the same header already.
std::string dicomFileProblem(const std::string& path);
