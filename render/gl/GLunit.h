// The graphics library's entry points, looked up by name at run time so that a missing library
// or function is a message in the log rather than a program that does not start.
#pragma once

#include <string>

namespace vorlin {

using GLenum = unsigned int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLint = int;
using GLsizei = int;
using GLuint = unsigned int;
using GLubyte = unsigned char;
using GLfloat = float;
using GLclampf = float;
using GLdouble = double;
using GLclampd = double;

// One pointer per entry point, in lookup order; filled by LoadOpenGL.
struct TGLEntryPoints {
    void (*glBegin)(GLenum);
    void (*glBindTexture)(GLenum, GLuint);
    void (*glCallList)(GLuint);
    void (*glClear)(GLbitfield);
    void (*glClearColor)(GLclampf, GLclampf, GLclampf, GLclampf);
    void (*glColorMaterial)(GLenum, GLenum);
    void (*glColor3f)(GLfloat, GLfloat, GLfloat);
    void (*glColor3ub)(GLubyte, GLubyte, GLubyte);
    void (*glCullFace)(GLenum);
    void (*glDeleteLists)(GLuint, GLsizei);
    void (*glDeleteTextures)(GLsizei, const GLuint*);
    void (*glDepthRange)(GLclampd, GLclampd);
    void (*glDisable)(GLenum);
    void (*glEnable)(GLenum);
    void (*glEnd)();
    void (*glEndList)();
    void (*glFlush)();
    void (*glFinish)();
    void (*glFrontFace)(GLenum);
    GLuint (*glGenLists)(GLsizei);
    void (*glGenTextures)(GLsizei, GLuint*);
    void (*glGetDoublev)(GLenum, GLdouble*);
    GLenum (*glGetError)();
    void (*glGetIntegerv)(GLenum, GLint*);
    void (*glHint)(GLenum, GLenum);
    void (*glInitNames)();
    void (*glLoadIdentity)();
    void (*glLoadName)(GLuint);
    void (*glMatrixMode)(GLenum);
    void (*glNewList)(GLuint, GLenum);
    void (*glOrtho)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
    void (*glPixelStorei)(GLenum, GLint);
    void (*glPointSize)(GLfloat);
    void (*glPolygonMode)(GLenum, GLenum);
    void (*glPushName)(GLuint);
    GLint (*glRenderMode)(GLenum);
    void (*glRotated)(GLdouble, GLdouble, GLdouble, GLdouble);
    void (*glScaled)(GLdouble, GLdouble, GLdouble);
    void (*glSelectBuffer)(GLsizei, GLuint*);
    void (*glShadeModel)(GLenum);
    void (*glTexCoord2f)(GLfloat, GLfloat);
    void (*glTexEnvf)(GLenum, GLenum, GLfloat);
    void (*glTexGeniv)(GLenum, GLenum, const GLint*);
    void (*glTexImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                         const void*);
    void (*glTexParameterf)(GLenum, GLenum, GLfloat);
    void (*glTranslated)(GLdouble, GLdouble, GLdouble);
    void (*glVertex3d)(GLdouble, GLdouble, GLdouble);
    void (*glVertex3f)(GLfloat, GLfloat, GLfloat);
    void (*glViewport)(GLint, GLint, GLsizei, GLsizei);
    // The window system's context functions (GLX here). The view's context comes from the
    // toolkit, so these are checked for but not called.
    void* glXCreateContext;
    void* glXDestroyContext;
    void* glXGetCurrentContext;
    void* glXMakeCurrent;
    void* glXGetProcAddress;
    // The utility library.
    void (*gluPerspective)(GLdouble, GLdouble, GLdouble, GLdouble);
    void* gluPickMatrix;
    void (*gluLookAt)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble,
                      GLdouble, GLdouble);
    void* gluProject;
    void* gluUnProject;
};

// The table the renderer calls through.
extern TGLEntryPoints GL;

constexpr const char* kGLLibrary = "libGL.so.1";
constexpr const char* kGLULibrary = "libGLU.so.1";

// Loads both libraries and every entry point on the first successful call; afterwards returns
// true at once. On failure logs the first missing library or function, unloads what it
// loaded, and returns false (a later call tries again).
bool LoadOpenGL(const std::string& glLibrary = kGLLibrary,
                const std::string& gluLibrary = kGLULibrary);
bool OpenGLLoaded();

// Names of the entry points, in lookup order.
extern const char* const kGLEntryNames[54];
extern const char* const kGLUEntryNames[5];

} // namespace vorlin
