#include "gl/GLunit.h"

#include <cstring>
#include <dlfcn.h>

#include "support/misc_utils.h"

namespace vorlin {

TGLEntryPoints GL{};

const char* const kGLEntryNames[54] = {"glBegin",
                                       "glBindTexture",
                                       "glCallList",
                                       "glClear",
                                       "glClearColor",
                                       "glColorMaterial",
                                       "glColor3f",
                                       "glColor3ub",
                                       "glCullFace",
                                       "glDeleteLists",
                                       "glDeleteTextures",
                                       "glDepthRange",
                                       "glDisable",
                                       "glEnable",
                                       "glEnd",
                                       "glEndList",
                                       "glFlush",
                                       "glFinish",
                                       "glFrontFace",
                                       "glGenLists",
                                       "glGenTextures",
                                       "glGetDoublev",
                                       "glGetError",
                                       "glGetIntegerv",
                                       "glHint",
                                       "glInitNames",
                                       "glLoadIdentity",
                                       "glLoadName",
                                       "glMatrixMode",
                                       "glNewList",
                                       "glOrtho",
                                       "glPixelStorei",
                                       "glPointSize",
                                       "glPolygonMode",
                                       "glPushName",
                                       "glRenderMode",
                                       "glRotated",
                                       "glScaled",
                                       "glSelectBuffer",
                                       "glShadeModel",
                                       "glTexCoord2f",
                                       "glTexEnvf",
                                       "glTexGeniv",
                                       "glTexImage2D",
                                       "glTexParameterf",
                                       "glTranslated",
                                       "glVertex3d",
                                       "glVertex3f",
                                       "glViewport",
                                       "glXCreateContext",
                                       "glXDestroyContext",
                                       "glXGetCurrentContext",
                                       "glXMakeCurrent",
                                       "glXGetProcAddress"};

const char* const kGLUEntryNames[5] = {"gluPerspective", "gluPickMatrix", "gluLookAt", "gluProject",
                                       "gluUnProject"};

namespace {

void* glHandle = nullptr;
void* gluHandle = nullptr;

// The table is a run of pointers in lookup order: the GL names, then the GLU names.
void** Slots() {
    return reinterpret_cast<void**>(&GL);
}
static_assert(sizeof(TGLEntryPoints) == 59 * sizeof(void*));

// Looks up names into slots; after the first missing one, empties the rest without a word.
bool LookUp(void* library, const char* const* names, int count, void** table,
            const std::string& libraryName) {
    bool allFound = true;
    for (int i = 0; i < count; ++i) {
        table[i] = nullptr;
        if (!allFound) continue;
        table[i] = ::dlsym(library, names[i]);
        if (!table[i]) {
            allFound = false;
            LogMessage(mtWarning,
                       std::string("Couldn't find function ") + names[i] + " in " + libraryName);
        }
    }
    return allFound;
}

} // namespace

bool OpenGLLoaded() {
    return glHandle != nullptr;
}

bool LoadOpenGL(const std::string& glLibrary, const std::string& gluLibrary) {
    if (glHandle) return true;
    void* gl = ::dlopen(glLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!gl) {
        LogMessage(mtWarning, "Couldn't load " + glLibrary);
        return false;
    }
    auto fail = [] {
        std::memset(&GL, 0, sizeof GL); // nothing may call into an unloaded library
        return false;
    };
    if (!LookUp(gl, kGLEntryNames, 54, Slots(), glLibrary)) {
        ::dlclose(gl);
        return fail();
    }
    void* glu = ::dlopen(gluLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!glu) {
        LogMessage(mtWarning, "Couldn't load " + gluLibrary);
        ::dlclose(gl);
        return fail();
    }
    if (!LookUp(glu, kGLUEntryNames, 5, Slots() + 54, gluLibrary)) {
        ::dlclose(glu);
        ::dlclose(gl);
        return fail();
    }
    glHandle = gl;
    gluHandle = glu;
    return true;
}

} // namespace vorlin
