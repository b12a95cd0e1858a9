// Writes the default data set: 64^3 one-byte samples of the strength of the
// electrostatic potential around a small molecule-like cluster of charges.
// Deterministic; values span 0 to 255 with empty space (0) at the borders.
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Charge {
    double x, y, z, q;
};

// Positions in the volume's [-1, 1] cube.
const Charge charges[] = {
    {-0.38, -0.05, 0.02, 1.0},  {0.36, 0.08, -0.04, 1.0},  {0.0, 0.34, 0.12, -0.9},
    {0.02, -0.36, -0.1, -0.9},  {-0.12, 0.05, -0.40, 0.6}, {0.15, -0.02, 0.38, -0.5},
    {-0.30, 0.30, -0.25, 0.35}, {0.28, -0.28, 0.28, 0.35},
};

double smoothStep(double edge0, double edge1, double v) {
    double t = (v - edge0) / (edge1 - edge0);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "data/neghip.raw";
    const int n = 64;
    std::vector<unsigned char> voxels(size_t(n) * n * n);
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const double px = (x + 0.5) * 2.0 / n - 1, py = (y + 0.5) * 2.0 / n - 1,
                             pz = (z + 0.5) * 2.0 / n - 1;
                double potential = 0;
                for (const Charge& c : charges) {
                    const double dx = px - c.x, dy = py - c.y, dz = pz - c.z;
                    potential += c.q / std::sqrt(dx * dx + dy * dy + dz * dz + 0.0025);
                }
                const double r = std::sqrt(px * px + py * py + pz * pz);
                const double envelope = 1.0 - smoothStep(0.7, 0.92, r);
                const double v = 255.0 * (1.0 - std::exp(-std::fabs(potential) / 1.6)) * envelope;
                voxels[size_t(x) + size_t(n) * (size_t(y) + size_t(n) * z)] =
                    static_cast<unsigned char>(std::lround(v));
            }
    FILE* out = std::fopen(path, "wb");
    if (!out || std::fwrite(voxels.data(), 1, voxels.size(), out) != voxels.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "Error: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
