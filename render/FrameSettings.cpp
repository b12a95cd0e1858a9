#include "render/FrameSettings.h"

#include <GL/glext.h>

FrameSettings frameSettings(BlendOperator op, int sliceCount, bool useTf, float density,
                            float intensity) {
    FrameSettings s = {
        useTf ? 0.0f : density * intensity, GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD_EXT, false, 0.0f};
    switch (op) {
    case BlendOperator::norm:
        break;
    case BlendOperator::over:
        s.blendDestination = GL_ONE_MINUS_SRC_ALPHA;
        break;
    case BlendOperator::att:
        s.blendSource = GL_CONSTANT_ALPHA_EXT;
        s.usesBlendColor = true;
        s.constantAlpha = 3.0f / float(sliceCount);
        break;
    case BlendOperator::mip:
        s.blendEquation = GL_MAX_EXT;
        break;
    }
    return s;
}
