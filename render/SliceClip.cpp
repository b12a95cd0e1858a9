// Slice polygons clipped to the visible box, and the program-wide box.
#include "render/SliceClip.h"

#include "render/ViewState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

int slicePolygon(const VisibleBox& box, const float centre[3], const float scale[3],
                 const float rotation[16], float z, float out[maxSliceVertices][2]) {
    double polygon[maxSliceVertices][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    double clipped[2 * maxSliceVertices][2];
    int count = 4;
    for (int axis = 0; axis < 3 && count > 0; ++axis) {
        // Texture coordinate along this axis = a x + b y + c on the plane.
        const double s = scale[axis];
        const double a = s * rotation[axis * 4 + 0], b = s * rotation[axis * 4 + 1];
        const double c = centre[axis] + s * rotation[axis * 4 + 2] * double(z);
        for (int side = 0; side < 2 && count > 0; ++side) {
            // Keep f >= 0: coordinate - low, or high - coordinate.
            const double sign = side == 0 ? 1 : -1;
            const double bound = side == 0 ? box.low[axis] : box.high[axis];
            auto f = [&](const double* p) { return sign * (a * p[0] + b * p[1] + c - bound); };
            int kept = 0;
            for (int i = 0; i < count; ++i) {
                const double* p = polygon[i];
                const double* q = polygon[(i + 1) % count];
                const double fp = f(p), fq = f(q);
                if (fp >= 0) {
                    clipped[kept][0] = p[0];
                    clipped[kept][1] = p[1];
                    ++kept;
                }
                if ((fp >= 0) != (fq >= 0)) {
                    const double t = fp / (fp - fq);
                    clipped[kept][0] = p[0] + t * (q[0] - p[0]);
                    clipped[kept][1] = p[1] + t * (q[1] - p[1]);
                    ++kept;
                }
            }
            // Rounding on a near-parallel edge can cross more than twice;
            // keeping the larger polygon then only draws fragments that fail.
            if (kept > maxSliceVertices) continue;
            count = kept < 3 ? 0 : kept;
            std::memcpy(polygon, clipped, sizeof polygon);
        }
    }
    for (int i = 0; i < count; ++i) {
        out[i][0] = float(polygon[i][0]);
        out[i][1] = float(polygon[i][1]);
    }
    return count;
}

void sliceScissor(const float polygon[][2], int count, float eyeZ, const float projection[16],
                  int width, int height, int rect[4]) {
    rect[0] = rect[1] = 0;
    rect[2] = width;
    rect[3] = height;
    double low[2] = {1e30, 1e30}, high[2] = {-1e30, -1e30};
    for (int i = 0; i < count; ++i) {
        const double eye[4] = {polygon[i][0], polygon[i][1], eyeZ, 1};
        double clip[4] = {0, 0, 0, 0};
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                clip[row] += double(projection[k * 4 + row]) * eye[k];
        if (clip[3] <= 1e-6) return;
        const double window[2] = {(clip[0] / clip[3] + 1) * 0.5 * width,
                                  (clip[1] / clip[3] + 1) * 0.5 * height};
        for (int a = 0; a < 2; ++a) {
            low[a] = std::min(low[a], window[a]);
            high[a] = std::max(high[a], window[a]);
        }
    }
    const int size[2] = {width, height};
    for (int a = 0; a < 2; ++a) {
        const double first = std::max(std::floor(low[a]) - 1, 0.0);
        const double last = std::min(std::ceil(high[a]) + 1, double(size[a]));
        rect[a] = int(first);
        rect[a + 2] = std::max(int(last) - int(first), 0);
    }
}

namespace {

// What one more draw costs the driver, in fragments: a scissor change and a
// square to set up against a few hundred pixels of 3D sampling.
const double drawPixels = 1024;

// The slice's window rectangle cut into sliceTiles columns and rows, and the
// texture-coordinate ranges each column and each row adds, a pixel wider: a
// tile's range is base + its column's + its row's.
struct Tiles {
    int edgeX[sliceTiles + 1], edgeY[sliceTiles + 1];
    double columnLow[sliceTiles][3], columnHigh[sliceTiles][3];
    double rowLow[sliceTiles][3], rowHigh[sliceTiles][3];
    double base[3];
};

// Window x and y back to eye x and y on the slice's plane, then into texture
// coordinates; w is the plane's clip w.
void backProject(const float centre[3], const float scale[3], const float rotation[16], float z,
                 float eyeZ, const float* p, double w, int width, int height, const int rect[4],
                 Tiles& t) {
    auto eyeX = [&](double wx) { return ((2 * wx / width - 1) * w - p[8] * eyeZ - p[12]) / p[0]; };
    auto eyeY = [&](double wy) { return ((2 * wy / height - 1) * w - p[9] * eyeZ - p[13]) / p[5]; };
    for (int k = 0; k <= sliceTiles; ++k) {
        t.edgeX[k] = rect[0] + rect[2] * k / sliceTiles;
        t.edgeY[k] = rect[1] + rect[3] * k / sliceTiles;
    }
    for (int k = 0; k < sliceTiles; ++k) {
        const double x[2] = {eyeX(t.edgeX[k] - 1), eyeX(t.edgeX[k + 1] + 1)};
        const double y[2] = {eyeY(t.edgeY[k] - 1), eyeY(t.edgeY[k + 1] + 1)};
        for (int a = 0; a < 3; ++a) {
            const double sx = double(scale[a]) * rotation[a * 4],
                         sy = double(scale[a]) * rotation[a * 4 + 1];
            t.columnLow[k][a] = std::min(sx * x[0], sx * x[1]);
            t.columnHigh[k][a] = std::max(sx * x[0], sx * x[1]);
            t.rowLow[k][a] = std::min(sy * y[0], sy * y[1]);
            t.rowHigh[k][a] = std::max(sy * y[0], sy * y[1]);
        }
    }
    for (int a = 0; a < 3; ++a)
        t.base[a] = centre[a] + double(scale[a]) * rotation[a * 4 + 2] * z;
}

bool tileVisible(const VisibleBox& box, const Tiles& t, int row, int column) {
    if (t.edgeX[column + 1] == t.edgeX[column]) return false;
    double low[3], high[3];
    for (int a = 0; a < 3; ++a) {
        low[a] = t.base[a] + t.columnLow[column][a] + t.rowLow[row][a];
        high[a] = t.base[a] + t.columnHigh[column][a] + t.rowHigh[row][a];
    }
    return anyVisible(box, low, high);
}

// Per row the first and last tile that may show something, -1 for none; the
// tiles between them are drawn whatever they hold.
void findVisibleTiles(const VisibleBox& box, const Tiles& t, int first[sliceTiles],
                      int last[sliceTiles]) {
    for (int row = 0; row < sliceTiles; ++row) {
        first[row] = last[row] = -1;
        if (t.edgeY[row + 1] == t.edgeY[row]) continue;
        int column = 0;
        while (column < sliceTiles && !tileVisible(box, t, row, column))
            ++column;
        if (column == sliceTiles) continue;
        first[row] = last[row] = column;
        for (int back = sliceTiles - 1; back > column; --back)
            if (tileVisible(box, t, row, back)) {
                last[row] = back;
                break;
            }
    }
}

// start[j]: the first row of the rectangle that ends at row j - 1, -1 when
// that row has nothing to draw; left[j] and right[j]: its first and last column.
struct RowGroups {
    int start[sliceTiles + 1], left[sliceTiles + 1], right[sliceTiles + 1];
};

// Neighbouring rows share one rectangle where its extra pixels cost less
// than another draw; cost[j] is the least for the rows below j.
void groupRows(const Tiles& t, const int first[sliceTiles], const int last[sliceTiles],
               RowGroups& g) {
    double cost[sliceTiles + 1] = {0};
    for (int j = 1; j <= sliceTiles; ++j) {
        cost[j] = cost[j - 1];
        g.start[j] = -1;
        int x0 = sliceTiles, x1 = -1;
        for (int i = j - 1; i >= 0 && first[j - 1] >= 0; --i) {
            if (first[i] >= 0) x0 = std::min(x0, first[i]), x1 = std::max(x1, last[i]);
            const double c = cost[i] + drawPixels +
                             double(t.edgeX[x1 + 1] - t.edgeX[x0]) * (t.edgeY[j] - t.edgeY[i]);
            if (g.start[j] < 0 || c < cost[j])
                cost[j] = c, g.start[j] = i, g.left[j] = x0, g.right[j] = x1;
        }
    }
}

// The chosen rectangles from the top row down.
int writeSpans(const Tiles& t, const RowGroups& g, int spans[sliceTiles][4]) {
    int count = 0;
    for (int j = sliceTiles; j > 0; j = g.start[j] >= 0 ? g.start[j] : j - 1) {
        if (g.start[j] < 0) continue;
        int* span = spans[count++];
        span[0] = t.edgeX[g.left[j]];
        span[1] = t.edgeY[g.start[j]];
        span[2] = t.edgeX[g.right[j] + 1] - t.edgeX[g.left[j]];
        span[3] = t.edgeY[j] - t.edgeY[g.start[j]];
    }
    return count;
}

} // namespace

int sliceSpans(const VisibleBox& box, const float centre[3], const float scale[3],
               const float rotation[16], float z, float eyeZ, const float projection[16], int width,
               int height, const int rect[4], int spans[sliceTiles][4]) {
    const float* p = projection;
    const double w = double(p[11]) * eyeZ + p[15];
    if (p[1] != 0 || p[3] != 0 || p[4] != 0 || p[7] != 0 || p[0] == 0 || p[5] == 0 || w <= 1e-6) {
        std::copy(rect, rect + 4, spans[0]);
        return 1;
    }
    Tiles tiles;
    backProject(centre, scale, rotation, z, eyeZ, p, w, width, height, rect, tiles);
    int first[sliceTiles], last[sliceTiles];
    findVisibleTiles(box, tiles, first, last);
    RowGroups groups;
    groupRows(tiles, first, last, groups);
    return writeSpans(tiles, groups, spans);
}

BrickGrid volumeBricks;
VisibleBox sliceBox;

namespace {
TextureContent content = TextureContent::rgba;
TransferTable contentTable = {};
} // namespace

void refreshSliceBox() {
    sliceBox = decideVisibleBox(volumeBricks, content, contentTable, viewState.density,
                                viewState.intensity);
}

void setSliceTextureContent(TextureContent newContent, const TransferTable table) {
    content = newContent;
    if (table) std::memcpy(contentTable, table, sizeof contentTable);
    refreshSliceBox();
}

TextureContent sliceTextureContent() {
    return content;
}

void noteSlicePalette(const TransferTable table) {
    if (content == TextureContent::index) setSliceTextureContent(content, table);
}
