// Volumes for tests: raw voxels written to a temporary file and loaded.
#pragma once
#include "TempFile.h"
#include "volume/Volume.h"

#include <memory>
#include <vector>

// Voxels differ between neighbours on every axis; no voxels loads an empty
// file, so every voxel is 0 and none is touched.
inline std::unique_ptr<Volume> loadTestVolume(int w, int h, int d, bool empty = false) {
    std::vector<unsigned char> voxels(empty ? 0 : size_t(w) * h * d);
    for (size_t i = 0; i < voxels.size(); ++i)
        voxels[i] = uint8_t(i % w * 37 + i / w % h * 11 + i / w / h * 5 + 1);
    TempFile file(voxels);
    std::unique_ptr<Volume> volume(new Volume());
    return volume->load(file.c_str(), w, h, d, true) == LoadStatus::ok ? std::move(volume)
                                                                       : nullptr;
}

// Entries differ from one another; entry 0 is zero like the border.
inline void patternTable(uint8_t table[256][4]) {
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 4; ++c)
            table[i][c] = i == 0 ? 0 : uint8_t(i * (2 * c + 1) + c);
}
