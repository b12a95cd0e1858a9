// What the slice pass of one frame sets, worked out before any GL call.
#pragma once
#include <GL/gl.h>

// The panel's blending operators.
enum class BlendOperator { norm, over, att, mip };

struct FrameSettings {
    float alphaReference; // glAlphaFunc(GL_GREATER, alphaReference)
    GLenum blendSource;   // glBlendFunc(blendSource, blendDestination)
    GLenum blendDestination;
    GLenum blendEquation; // GL_FUNC_ADD_EXT, or GL_MAX_EXT for mip
    bool usesBlendColor;  // att: glBlendColorEXT(1, 1, 1, constantAlpha)
    float constantAlpha;
};

// With the transfer function every non-zero alpha passes; without it the
// threshold is density times intensity. att divides a constant opacity
// among the slices.
FrameSettings frameSettings(BlendOperator op, int sliceCount, bool useTf, float density,
                            float intensity);
