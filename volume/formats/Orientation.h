// Data in patient space are first seen from the front: the patient's left on
// the screen's right (+x eye), superior up (+y), anterior towards the viewer
// (+z). The voxels are reordered so that their axes come closest to that frame;
// what is left over (an oblique acquisition's tilt) turns the box.
// Directions are LPS unit vectors, one row per index axis.
#pragma once
#include <cstdint>
#include <string>

// The letter each index axis increases towards (its largest LPS component):
// "LAS" for rows (1,0,0), (0,-1,0), (0,0,1).
std::string orientationCode(const double direction[3][3]);

// Unit rows at right angles: x keeps its direction, y its plane with x, z its
// side of that plane. Returns the most any row turned, in degrees (0: none
// did), or -1 for degenerate rows (no plane), which are left untouched.
double orthonormalise(double direction[3][3]);

struct Reorientation {
    int from[3] = {0, 1, 2}; // new axis a is the file's index axis from[a] ...
    bool flip[3] = {};       // ... read from its far end
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // column-major
    const char* labels[6] = {"x", nullptr, "y", nullptr, "z", nullptr};    // +x -x +y -y +z -z
};

// For orthonormal rows: the axes' order and flips, the rotation that places
// the reordered box in the eye frame (det +1), and the faces' letters. The
// default Reorientation is the index view for data without patient space.
Reorientation reorientation(const double direction[3][3]);

// Where index (i, j, k) along the file's axes lands among voxels laid out in
// the new axes' order with stride[a] per step along new axis a:
// offset + i * step[0] + j * step[1] + k * step[2].
struct Placement {
    int64_t offset = 0;
    int64_t step[3] = {1, 0, 0};
};
Placement placement(const Reorientation& r, const int size[3], const int64_t stride[3]);
