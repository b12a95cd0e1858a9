// Which optional GL extensions the driver offers, and their entry points.
// Filled once by probeExtensions at start-up, read everywhere after.
#pragma once
#include <GL/gl.h>

typedef void (*TexImage3DProc)(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                               GLsizei height, GLsizei depth, GLint border, GLenum format,
                               GLenum type, const GLvoid* pixels);
typedef void (*ColorTableProc)(GLenum target, GLenum internalFormat, GLsizei width, GLenum format,
                               GLenum type, const GLvoid* table);
typedef void (*BlendColorProc)(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
typedef void (*BlendEquationProc)(GLenum mode);

struct ExtensionSupport {
    bool hasTexture3D = false;
    bool hasPalettedTexture = false;
    bool hasBlendColor = false;
    bool hasBlendMinmax = false;
    TexImage3DProc glTexImage3DEXT = nullptr;
    ColorTableProc glColorTableEXT = nullptr;
    BlendColorProc glBlendColorEXT = nullptr;
    BlendEquationProc glBlendEquationEXT = nullptr;
};

extern ExtensionSupport extensions;

// True when name occurs in the blank-separated list as a whole name.
bool hasExtension(const char* extensionString, const char* name);

// Prints the driver's extension string and fills `extensions`.
void probeExtensions();
