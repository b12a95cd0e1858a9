#include "volume/formats/Orientation.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const towardsPositive[3] = {"L", "P", "S"};
const char* const towardsNegative[3] = {"R", "A", "I"};

int largestComponent(const double v[3]) {
    int k = 0;
    for (int i = 1; i < 3; ++i)
        if (std::fabs(v[i]) > std::fabs(v[k])) k = i;
    return k;
}

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double determinant(const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

} // namespace

std::string orientationCode(const double direction[3][3]) {
    std::string code;
    for (int a = 0; a < 3; ++a) {
        const int k = largestComponent(direction[a]);
        code += direction[a][k] >= 0 ? towardsPositive[k] : towardsNegative[k];
    }
    return code;
}

double orthonormalise(double direction[3][3]) {
    double worst = 0;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            worst = std::max(worst, std::fabs(dot(direction[a], direction[b]) - (a == b)));
    if (worst < 1e-4) return 0; // float headers round the products this far
    double out[3][3], length[3];
    for (int a = 0; a < 3; ++a)
        length[a] = std::sqrt(dot(direction[a], direction[a]));
    const double along = dot(direction[1], direction[0]) / (length[0] * length[0]);
    for (int k = 0; k < 3; ++k) {
        out[0][k] = direction[0][k] / length[0];
        out[1][k] = direction[1][k] - along * direction[0][k];
    }
    const double yLength = std::sqrt(dot(out[1], out[1]));
    for (int k = 0; k < 3; ++k)
        out[1][k] /= yLength;
    for (int k = 0; k < 3; ++k)
        out[2][k] =
            out[0][(k + 1) % 3] * out[1][(k + 2) % 3] - out[0][(k + 2) % 3] * out[1][(k + 1) % 3];
    const double side = dot(out[2], direction[2]);
    if (!(length[0] > 1e-9 && yLength > 1e-9 * length[1] && std::fabs(side) > 1e-9 * length[2]))
        return -1;
    double turned = 0;
    for (int a = 0; a < 3; ++a) {
        if (a == 2 && side < 0)
            for (double& v : out[2])
                v = -v;
        const double cosine = std::min(1.0, dot(out[a], direction[a]) / length[a]);
        turned = std::max(turned, std::acos(cosine) * 180 / M_PI);
        std::copy(out[a], out[a] + 3, direction[a]);
    }
    return turned < 0.01 ? 0 : turned; // rows of other lengths only are not a shear
}

Reorientation reorientation(const double direction[3][3]) {
    // Each index axis in the eye frame: LPS x, z and -y.
    double eye[3][3];
    for (int a = 0; a < 3; ++a) {
        eye[a][0] = direction[a][0];
        eye[a][1] = direction[a][2];
        eye[a][2] = -direction[a][1];
    }
    // The order that puts the most of each axis along its eye axis; the
    // identity wins ties, so 45-degree data keep the file's order.
    static const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                     {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    int best = 0;
    double bestScore = -1;
    for (int o = 0; o < 6; ++o) {
        double score = 0;
        for (int e = 0; e < 3; ++e)
            score += std::fabs(eye[orders[o][e]][e]);
        if (score > bestScore + 1e-9) best = o, bestScore = score;
    }
    Reorientation r;
    double column[3][3], lps[3][3];
    for (int e = 0; e < 3; ++e) {
        r.from[e] = orders[best][e];
        r.flip[e] = eye[r.from[e]][e] < 0;
        for (int k = 0; k < 3; ++k) {
            column[e][k] = r.flip[e] ? -eye[r.from[e]][k] : eye[r.from[e]][k];
            lps[e][k] = r.flip[e] ? -direction[r.from[e]][k] : direction[r.from[e]][k];
        }
    }
    // Axes of the other handedness, oblique so that no order fits: one more
    // flip, on the least aligned axis, keeps the turn a rotation.
    if (determinant(column) < 0) {
        int e = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(column[i][i]) < std::fabs(column[e][e])) e = i;
        r.flip[e] = !r.flip[e];
        for (int k = 0; k < 3; ++k)
            column[e][k] = -column[e][k], lps[e][k] = -lps[e][k];
    }
    for (int e = 0; e < 3; ++e) {
        for (int k = 0; k < 3; ++k)
            r.rotation[4 * e + k] = float(column[e][k]);
        const int k = largestComponent(lps[e]);
        const bool positive = lps[e][k] >= 0;
        r.labels[2 * e] = positive ? towardsPositive[k] : towardsNegative[k];
        r.labels[2 * e + 1] = positive ? towardsNegative[k] : towardsPositive[k];
    }
    return r;
}

Placement placement(const Reorientation& r, const int size[3], const int64_t stride[3]) {
    Placement p;
    for (int a = 0; a < 3; ++a) {
        const int from = r.from[a];
        p.step[from] = r.flip[a] ? -stride[a] : stride[a];
        if (r.flip[a]) p.offset += (size[from] - 1) * stride[a];
    }
    return p;
}
