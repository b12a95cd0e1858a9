// Which optional GL extensions the driver offers, and their entry points.
// Filled once at start-up, read everywhere after.
#pragma once
#include <GL/gl.h>

#ifndef APIENTRY
#define APIENTRY
#endif

typedef void(APIENTRY* TexImage3DProc)(GLenum target, GLint level, GLenum internalFormat,
                                       GLsizei width, GLsizei height, GLsizei depth, GLint border,
                                       GLenum format, GLenum type, const GLvoid* pixels);
typedef void(APIENTRY* TexSubImage3DProc)(GLenum target, GLint level, GLint x, GLint y, GLint z,
                                          GLsizei width, GLsizei height, GLsizei depth,
                                          GLenum format, GLenum type, const GLvoid* pixels);
typedef void(APIENTRY* ColorTableProc)(GLenum target, GLenum internalFormat, GLsizei width,
                                       GLenum format, GLenum type, const GLvoid* table);
typedef void(APIENTRY* BlendColorProc)(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
typedef void(APIENTRY* BlendEquationProc)(GLenum mode);

struct ExtensionSupport {
    bool hasTexture3D = false;
    bool hasPalettedTexture = false;
    bool hasBlendColor = false;
    bool hasBlendMinmax = false;
    TexImage3DProc glTexImage3DEXT = nullptr;
    TexSubImage3DProc glTexSubImage3DEXT = nullptr;
    ColorTableProc glColorTableEXT = nullptr;
    BlendColorProc glBlendColorEXT = nullptr;
    BlendEquationProc glBlendEquationEXT = nullptr;
};

extern ExtensionSupport extensions;

// True when name occurs in the blank-separated list as a whole name.
bool hasExtension(const char* extensionString, const char* name);
