// Drawing with no display: an OpenGL context from EGL on Mesa's surfaceless platform (the same
// with or without an X server, so a picture never depends on one), drawing into a framebuffer
// object of a fixed size that is read back row by row.
#pragma once

#include <cstdint>
#include <vector>

#include "gl/ogl_PRender.h"

namespace vorlin {

class TOffscreenGL : public TRenderTarget {
public:
    // Raises an error that names what is missing and the package that brings it: the EGL
    // library, a driver for the surfaceless platform, a desktop OpenGL context, a framebuffer
    // of that size.
    TOffscreenGL(int width, int height);
    ~TOffscreenGL() override;
    TOffscreenGL(const TOffscreenGL&) = delete;
    TOffscreenGL& operator=(const TOffscreenGL&) = delete;

    bool MakeCurrent() override;
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The pixels drawn so far into Width x Height x 4 bytes (red, green, blue, 255), the top
    // row first.
    void ReadPixels(uint8_t* rgba);

private:
    void Release();
    struct Egl;
    Egl* egl_ = nullptr;
    int width_, height_;
    unsigned framebuffer_ = 0, colour_ = 0, depth_ = 0;
};

} // namespace vorlin
