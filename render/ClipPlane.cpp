#include "render/ClipPlane.h"

#include <algorithm>
#include <cmath>

ClipPlane facingClipPlane(const float rotation[16]) {
    // The eye's z axis in box coordinates: the rotation block's third row.
    ClipPlane plane;
    plane.on = true;
    for (int axis = 0; axis < 3; ++axis)
        plane.normal[axis] = rotation[4 * axis + 2];
    return plane;
}

void flipClipPlane(ClipPlane& plane) {
    for (float& n : plane.normal) // 0 - n: no -0 in the settings file
        n = 0.0f - n;
    plane.offset = 0.0f - plane.offset;
}

void moveClipPlane(ClipPlane& plane, float step, const float boxScale[3]) {
    float reach = 0; // the box's corners lie within this distance of the centre along the normal
    for (int axis = 0; axis < 3; ++axis)
        reach += std::fabs(plane.normal[axis]) * boxScale[axis];
    plane.offset = std::clamp(plane.offset + step, -reach, reach);
}

void clipEquation(const ClipPlane& plane, double equation[4]) {
    for (int axis = 0; axis < 3; ++axis)
        equation[axis] = -double(plane.normal[axis]);
    equation[3] = plane.offset;
}

int clipOutline(const ClipPlane& plane, const float boxScale[3], float corners[6][3]) {
    // The plane meets each of the box's 12 edges at most once (edges lying in
    // it give their end points through their neighbours).
    int count = 0;
    for (int axis = 0; axis < 3 && count < 6; ++axis)
        for (int edge = 0; edge < 4 && count < 6; ++edge) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            float p[3];
            p[u] = edge & 1 ? boxScale[u] : -boxScale[u];
            p[v] = edge & 2 ? boxScale[v] : -boxScale[v];
            const float rest = plane.offset - plane.normal[u] * p[u] - plane.normal[v] * p[v];
            if (plane.normal[axis] == 0) continue;
            p[axis] = rest / plane.normal[axis];
            if (std::fabs(p[axis]) > boxScale[axis] * 1.0001f) continue;
            bool seen = false;
            for (int c = 0; c < count; ++c)
                seen = seen || (std::fabs(corners[c][0] - p[0]) + std::fabs(corners[c][1] - p[1]) +
                                    std::fabs(corners[c][2] - p[2]) <
                                1e-5f);
            if (!seen) std::copy(p, p + 3, corners[count++]);
        }
    if (count < 3) return 0;
    // In order of their angle about the centroid, in the plane's own frame.
    float centre[3] = {};
    for (int c = 0; c < count; ++c)
        for (int i = 0; i < 3; ++i)
            centre[i] += corners[c][i] / float(count);
    const float* n = plane.normal;
    const int k = std::fabs(n[0]) < 0.9f ? 0 : 1; // an axis not along the normal
    float e1[3] = {0, 0, 0};
    e1[k] = 1;
    const float d = n[k];
    for (int i = 0; i < 3; ++i)
        e1[i] -= d * n[i];
    const float e2[3] = {n[1] * e1[2] - n[2] * e1[1], n[2] * e1[0] - n[0] * e1[2],
                         n[0] * e1[1] - n[1] * e1[0]};
    auto angle = [&](const float* p) {
        float a = 0, b = 0;
        for (int i = 0; i < 3; ++i)
            a += (p[i] - centre[i]) * e1[i], b += (p[i] - centre[i]) * e2[i];
        return std::atan2(b, a);
    };
    for (int i = 1; i < count; ++i) // insertion sort of at most six corners
        for (int j = i; j > 0 && angle(corners[j]) < angle(corners[j - 1]); --j)
            std::swap_ranges(corners[j], corners[j] + 3, corners[j - 1]);
    return count;
}
