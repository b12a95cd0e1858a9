// Colour-index 3D textures without GL_EXT_paletted_texture. Index uploads are
// stored as GL_LUMINANCE8; each 3D texture name has its own 256 x 1 RGBA
// palette texture, and a fragment program does lookup and modulate.
#include "platform/PalettedTexture.h"

#include "platform/Platform.h"

#include <cstring>
#include <iterator>
#include <map>
#include <set>

namespace {

PFNGLACTIVETEXTUREPROC activeTexture = nullptr;
PFNGLGENPROGRAMSARBPROC genPrograms = nullptr;
PFNGLBINDPROGRAMARBPROC bindProgram = nullptr;
PFNGLPROGRAMSTRINGARBPROC programString = nullptr;

TexImage3DProc driverTexImage3D = nullptr;
TexSubImage3DProc driverTexSubImage3D = nullptr;
bool installed = false;
bool lookupOn = false;
GLuint program = 0;

// 3D texture name -> its palette texture, and the names whose level 0 holds
// colour indices.
std::map<GLuint, GLuint> palettes;
std::set<GLuint> indexTextures;

// The index i arrives as i / 255; the palette's texel centre is (i + 0.5) / 256.
// TXP divides by q like fixed-function texturing does.
const char* const lookupProgram = "!!ARBfp1.0\n"
                                  "TEMP index, colour;\n"
                                  "TXP index, fragment.texcoord[0], texture[0], 3D;\n"
                                  "MAD index, index.x, 0.99609375, 0.001953125;\n"
                                  "TEX colour, index, texture[1], 1D;\n"
                                  "MUL result.color, colour, fragment.color;\n"
                                  "END\n";

GLuint bound3DTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &name);
    return GLuint(name);
}

// Forgets 3D textures deleted since, with their palettes; names may be reused.
void dropDeletedTextures() {
    for (auto it = palettes.begin(); it != palettes.end();) {
        if (glIsTexture(it->first)) {
            ++it;
            continue;
        }
        glDeleteTextures(1, &it->second);
        it = palettes.erase(it);
    }
    for (auto it = indexTextures.begin(); it != indexTextures.end();)
        it = glIsTexture(*it) ? std::next(it) : indexTextures.erase(it);
}

void APIENTRY layerColorTable(GLenum target, GLenum internalFormat, GLsizei width, GLenum format,
                              GLenum type, const GLvoid* table) {
    // The program maps indices onto exactly 256 entries.
    if (target != GL_TEXTURE_3D || width != 256) return;
    const GLuint texture = bound3DTexture();
    if (palettes.count(texture) == 0) dropDeletedTextures();
    GLuint& palette = palettes[texture];
    activeTexture(GL_TEXTURE1);
    if (palette == 0) {
        glGenTextures(1, &palette);
        glBindTexture(GL_TEXTURE_1D, palette);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    } else {
        glBindTexture(GL_TEXTURE_1D, palette);
    }
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage1D(GL_TEXTURE_1D, 0, GLint(internalFormat), width, 0, format, type, table);
    glPopClientAttrib();
    // Unit 0 is the only one the program uses; the layer always returns to it.
    activeTexture(GL_TEXTURE0);
}

void APIENTRY layerTexImage3D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                              GLsizei height, GLsizei depth, GLint border, GLenum format,
                              GLenum type, const GLvoid* pixels) {
    const bool indices = format == GL_COLOR_INDEX;
    if (target == GL_TEXTURE_3D && level == 0) {
        dropDeletedTextures();
        if (indices)
            indexTextures.insert(bound3DTexture());
        else
            indexTextures.erase(bound3DTexture());
    }
    if (indices) {
        internalFormat = GL_LUMINANCE8;
        format = GL_LUMINANCE;
    }
    driverTexImage3D(target, level, internalFormat, width, height, depth, border, format, type,
                     pixels);
}

void APIENTRY layerTexSubImage3D(GLenum target, GLint level, GLint x, GLint y, GLint z,
                                 GLsizei width, GLsizei height, GLsizei depth, GLenum format,
                                 GLenum type, const GLvoid* pixels) {
    if (format == GL_COLOR_INDEX) format = GL_LUMINANCE;
    driverTexSubImage3D(target, level, x, y, z, width, height, depth, format, type, pixels);
}

template <typename Proc> bool fetch(Proc& proc, const char* name) {
    proc = reinterpret_cast<Proc>(getGlProcAddress(name));
    return proc != nullptr;
}

bool compileProgram() {
    genPrograms(1, &program);
    bindProgram(GL_FRAGMENT_PROGRAM_ARB, program);
    programString(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB,
                  GLsizei(std::strlen(lookupProgram)), lookupProgram);
    GLint errorAt = 0;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorAt);
    return errorAt == -1;
}

} // namespace

bool installPalettedTextureLayer(const char* extensionString, ExtensionSupport& ext) {
    if (installed) {
        // probeExtensions ran again and fetched the driver's upload afresh.
        if (ext.glTexImage3DEXT && ext.glTexImage3DEXT != layerTexImage3D)
            driverTexImage3D = ext.glTexImage3DEXT;
        if (ext.glTexSubImage3DEXT && ext.glTexSubImage3DEXT != layerTexSubImage3D)
            driverTexSubImage3D = ext.glTexSubImage3DEXT;
    } else {
        if (!hasExtension(extensionString, "GL_ARB_fragment_program") || !ext.glTexImage3DEXT ||
            !ext.glTexSubImage3DEXT)
            return false;
        const bool multitexture =
            fetch(activeTexture, "glActiveTexture") || fetch(activeTexture, "glActiveTextureARB");
        if (!multitexture || !fetch(genPrograms, "glGenProgramsARB") ||
            !fetch(bindProgram, "glBindProgramARB") ||
            !fetch(programString, "glProgramStringARB") || !compileProgram())
            return false;
        driverTexImage3D = ext.glTexImage3DEXT;
        driverTexSubImage3D = ext.glTexSubImage3DEXT;
        installed = true;
    }
    ext.glTexImage3DEXT = layerTexImage3D;
    ext.glTexSubImage3DEXT = layerTexSubImage3D;
    ext.glColorTableEXT = layerColorTable;
    return true;
}

bool palettedTextureLayerInstalled() {
    return installed;
}

void beginPalettedLookup(GLuint texture) {
    if (!installed) return;
    const auto palette = palettes.find(texture);
    if (indexTextures.count(texture) == 0 || palette == palettes.end()) return;
    activeTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, palette->second);
    activeTexture(GL_TEXTURE0);
    bindProgram(GL_FRAGMENT_PROGRAM_ARB, program);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
    lookupOn = true;
}

void endPalettedLookup() {
    if (!lookupOn) return;
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    lookupOn = false;
}
