// The clipping plane: a plane fixed to the volume that removes the half on
// the side its normal points to. Box coordinates: the outline box's frame,
// [-boxScale, boxScale] per axis, turned with the volume.
#pragma once

struct ClipPlane {
    bool on = false;
    float normal[3] = {0, 0, 1}; // unit length, towards the removed half
    float offset = 0;            // points p with normal . p > offset are removed
};

// Through the centre, facing the viewer under the column-major rotation: the
// half nearer the eye goes.
ClipPlane facingClipPlane(const float rotation[16]);
// The other half goes instead.
void flipClipPlane(ClipPlane& plane);
// Moved by step along its normal, held where it still meets the box.
void moveClipPlane(ClipPlane& plane, float step, const float boxScale[3]);
// glClipPlane's equation in box coordinates: it keeps the points where it is >= 0.
void clipEquation(const ClipPlane& plane, double equation[4]);
// Where the plane cuts the box: the corners of that polygon in order around
// it (box coordinates); returns their count, 0 where it misses the box.
int clipOutline(const ClipPlane& plane, const float boxScale[3], float corners[6][3]);
