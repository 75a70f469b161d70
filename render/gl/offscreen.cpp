#include "gl/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <cstring>
#include <dlfcn.h>
#include <string>

#include "gl/GLunit.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

// The EGL library's entry points and the framebuffer functions of OpenGL, looked up at run
// time: a machine without them still runs every other command.
struct TOffscreenGL::Egl {
    void* library = nullptr;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;

    decltype(&eglGetProcAddress) getProcAddress = nullptr;
    decltype(&eglGetPlatformDisplay) getPlatformDisplay = nullptr;
    decltype(&eglInitialize) initialize = nullptr;
    decltype(&eglBindAPI) bindAPI = nullptr;
    decltype(&eglQueryString) queryString = nullptr;
    decltype(&eglChooseConfig) chooseConfig = nullptr;
    decltype(&eglCreateContext) createContext = nullptr;
    decltype(&eglDestroyContext) destroyContext = nullptr;
    decltype(&eglMakeCurrent) makeCurrent = nullptr;

    void (*genFramebuffers)(GLsizei, GLuint*) = nullptr;
    void (*bindFramebuffer)(GLenum, GLuint) = nullptr;
    void (*deleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
    void (*genRenderbuffers)(GLsizei, GLuint*) = nullptr;
    void (*bindRenderbuffer)(GLenum, GLuint) = nullptr;
    void (*deleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
    void (*renderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
    void (*framebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
    GLenum (*checkFramebufferStatus)(GLenum) = nullptr;
    void (*readPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) = nullptr;

    template <typename F> void Library(F& f, const char* name) {
        f = reinterpret_cast<F>(::dlsym(library, name));
        if (!f)
            throw Error(std::string("The EGL library has no ") + name +
                        ": install the package libegl1");
    }
    template <typename F> void GLFunction(F& f, const char* name) {
        f = reinterpret_cast<F>(getProcAddress(name));
        if (!f)
            throw Error(std::string("OpenGL has no ") + name + " for drawing without a display");
    }
};

namespace {

constexpr const char* kEGLLibrary = "libEGL.so.1";
constexpr const char* kDriverHint = ": install the package libegl-mesa0 (and libgl1-mesa-dri)";

bool HasWord(const char* list, const char* word) {
    if (!list) return false;
    const size_t n = std::strlen(word);
    for (const char* p = list; (p = std::strstr(p, word)) != nullptr; p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    return false;
}

} // namespace

TOffscreenGL::TOffscreenGL(int width, int height) : egl_(new Egl), width_(width), height_(height) {
    Egl& e = *egl_;
    try {
        e.library = ::dlopen(kEGLLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!e.library)
            throw Error(std::string("No EGL library (") + kEGLLibrary +
                        ") to draw without a display: install the package libegl1");
        e.Library(e.getProcAddress, "eglGetProcAddress");
        e.Library(e.initialize, "eglInitialize");
        e.Library(e.bindAPI, "eglBindAPI");
        e.Library(e.queryString, "eglQueryString");
        e.Library(e.chooseConfig, "eglChooseConfig");
        e.Library(e.createContext, "eglCreateContext");
        e.Library(e.destroyContext, "eglDestroyContext");
        e.Library(e.makeCurrent, "eglMakeCurrent");
        e.getPlatformDisplay = reinterpret_cast<decltype(e.getPlatformDisplay)>(
            ::dlsym(e.library, "eglGetPlatformDisplay"));
        if (!e.getPlatformDisplay)
            e.getPlatformDisplay = reinterpret_cast<decltype(e.getPlatformDisplay)>(
                e.getProcAddress("eglGetPlatformDisplayEXT"));
        if (e.getPlatformDisplay)
            e.display =
                e.getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (e.display == EGL_NO_DISPLAY || !e.initialize(e.display, &major, &minor)) {
            e.display = EGL_NO_DISPLAY;
            throw Error(std::string("EGL has no driver for drawing without a display") +
                        kDriverHint);
        }
        const char* extensions = e.queryString(e.display, EGL_EXTENSIONS);
        if (!HasWord(extensions, "EGL_KHR_surfaceless_context"))
            throw Error(std::string("EGL cannot draw without a surface here") + kDriverHint);
        if (!e.bindAPI(EGL_OPENGL_API))
            throw Error(std::string("EGL gives no desktop OpenGL here") + kDriverHint);
        EGLConfig config = EGL_NO_CONFIG_KHR;
        if (!HasWord(extensions, "EGL_KHR_no_config_context")) {
            const EGLint wanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
            EGLint found = 0;
            if (!e.chooseConfig(e.display, wanted, &config, 1, &found) || found < 1)
                throw Error(std::string("EGL offers no OpenGL configuration") + kDriverHint);
        }
        // The renderer draws with the fixed-function calls: a compatibility context.
        const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
        e.context = e.createContext(e.display, config, EGL_NO_CONTEXT, attributes);
        if (e.context == EGL_NO_CONTEXT ||
            !e.makeCurrent(e.display, EGL_NO_SURFACE, EGL_NO_SURFACE, e.context))
            throw Error(std::string("EGL gives no OpenGL context") + kDriverHint);
        if (!LoadOpenGL())
            throw Error(std::string("No OpenGL library (") + kGLLibrary + ", " + kGLULibrary +
                        "): install the packages libgl1 and libglu1-mesa");

        e.GLFunction(e.genFramebuffers, "glGenFramebuffers");
        e.GLFunction(e.bindFramebuffer, "glBindFramebuffer");
        e.GLFunction(e.deleteFramebuffers, "glDeleteFramebuffers");
        e.GLFunction(e.genRenderbuffers, "glGenRenderbuffers");
        e.GLFunction(e.bindRenderbuffer, "glBindRenderbuffer");
        e.GLFunction(e.deleteRenderbuffers, "glDeleteRenderbuffers");
        e.GLFunction(e.renderbufferStorage, "glRenderbufferStorage");
        e.GLFunction(e.framebufferRenderbuffer, "glFramebufferRenderbuffer");
        e.GLFunction(e.checkFramebufferStatus, "glCheckFramebufferStatus");
        e.GLFunction(e.readPixels, "glReadPixels");

        GLint largest = 0;
        GL.glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
        if (width < 1 || height < 1 || width > largest || height > largest)
            throw Error("OpenGL draws pictures of 1 to " + std::to_string(largest) +
                        " pixels a side, not " + std::to_string(width) + "x" +
                        std::to_string(height));
        // The editor's view has 8 bits a colour and a 24-bit depth buffer: so has this.
        e.genRenderbuffers(1, &colour_);
        e.bindRenderbuffer(GL_RENDERBUFFER, colour_);
        e.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        e.genRenderbuffers(1, &depth_);
        e.bindRenderbuffer(GL_RENDERBUFFER, depth_);
        e.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        e.genFramebuffers(1, &framebuffer_);
        e.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        e.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        e.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        if (e.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            throw Error("OpenGL cannot draw a picture of " + std::to_string(width) + "x" +
                        std::to_string(height) + " pixels");
        GL.glViewport(0, 0, width, height);
    } catch (...) {
        Release();
        throw;
    }
}

TOffscreenGL::~TOffscreenGL() {
    Release();
}

void TOffscreenGL::Release() {
    if (!egl_) return;
    Egl& e = *egl_;
    if (e.context != EGL_NO_CONTEXT) {
        if (MakeCurrent()) {
            if (framebuffer_) e.deleteFramebuffers(1, &framebuffer_);
            const GLuint buffers[] = {colour_, depth_};
            if (colour_ || depth_) e.deleteRenderbuffers(2, buffers);
        }
        e.makeCurrent(e.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        e.destroyContext(e.display, e.context);
    }
    // The display stays initialised and the library loaded for the life of the process: the
    // graphics library's dispatch may still point into them, and terminating the display
    // unloads the driver while memory it keeps for the process is still held.
    delete egl_;
    egl_ = nullptr;
}

bool TOffscreenGL::MakeCurrent() {
    if (!egl_ || egl_->context == EGL_NO_CONTEXT) return false;
    Egl& e = *egl_;
    if (!e.makeCurrent(e.display, EGL_NO_SURFACE, EGL_NO_SURFACE, e.context)) return false;
    if (framebuffer_) e.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

void TOffscreenGL::ReadPixels(uint8_t* rgba) {
    const size_t stride = size_t(width_) * 4;
    if (!MakeCurrent()) {
        std::memset(rgba, 0, stride * size_t(height_));
        return;
    }
    GL.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    egl_->readPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    // OpenGL's first row is the bottom one.
    std::vector<uint8_t> line(stride);
    for (size_t top = 0, bottom = size_t(height_) - 1; top < bottom; ++top, --bottom) {
        std::memcpy(line.data(), rgba + top * stride, stride);
        std::memcpy(rgba + top * stride, rgba + bottom * stride, stride);
        std::memcpy(rgba + bottom * stride, line.data(), stride);
    }
    // What the blending leaves in alpha is no part of the picture.
    for (size_t i = 3, n = stride * size_t(height_); i < n; i += 4)
        rgba[i] = 255;
}

} // namespace vorlin
