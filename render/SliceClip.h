// Which part of each slice square can show anything: the box of visible
// bricks, kept up to date with the texture's content and the thresholds, the
// polygon where a slice plane cuts it, and that polygon's window rectangle.
#pragma once
#include "volume/Bricks.h"

// Most vertices a slice polygon can have: the square cut by six planes.
const int maxSliceVertices = 10;

// The part of the square [-1, 1]^2 at depth z (eye space, from the volume's
// centre) whose texture coordinates centre + scale * R^T (x, y, z) lie in the
// box, R being the rotation block of the column-major rotation. Vertices run
// counter-clockwise like the square's; returns their count, 0 for none.
int slicePolygon(const VisibleBox& box, const float centre[3], const float scale[3],
                 const float rotation[16], float z, float out[maxSliceVertices][2]);

// The window rectangle (x, y, width, height), one pixel larger on every side,
// that holds the polygon of the slice at eye depth eyeZ under the projection
// and a viewport of width x height at the origin. The whole viewport when a
// vertex lies at or behind the eye.
void sliceScissor(const float polygon[][2], int count, float eyeZ, const float projection[16],
                  int width, int height, int rect[4]);

// Rows of tiles across the slice's window rectangle rect: per row the span
// from the first to the last tile whose part of the slice may hold a visible
// brick, neighbouring rows under one rectangle where that is cheaper than a
// draw each. The rectangles never overlap. Writes at most sliceTiles of them
// to spans and returns their count; rect alone when the projection is not a
// plain perspective or orthographic one.
const int sliceTiles = 16;
int sliceSpans(const VisibleBox& box, const float centre[3], const float scale[3],
               const float rotation[16], float z, float eyeZ, const float projection[16], int width,
               int height, const int rect[4], int spans[sliceTiles][4]);

extern BrickGrid volumeBricks; // of the loaded volume, computed once at start-up
extern VisibleBox sliceBox;    // what the slice pass draws; whole squares at first

// The texture builders' callers say what the volume texture now holds (table
// unused for the alpha form); each call decides sliceBox again.
void setSliceTextureContent(TextureContent content, const TransferTable table);
// What the volume texture holds, as its builders' callers last said.
TextureContent sliceTextureContent();
// A new palette: counts only while the texture holds colour indices.
void noteSlicePalette(const TransferTable table);
// Decides sliceBox again after the density or the intensity changed.
void refreshSliceBox();
