// A stand-in graphics library for the loader tests: every entry point the loader asks for, as
// empty functions, except glTexGeniv when VORLIN_STUB_WITHOUT_TEXGENIV is defined.
#define STUB(name)                                                                                 \
    extern "C" __attribute__((visibility("default"))) void name() {}

STUB(glBegin)
STUB(glBindTexture)
STUB(glCallList)
STUB(glClear)
STUB(glClearColor)
STUB(glColorMaterial)
STUB(glColor3f)
STUB(glColor3ub)
STUB(glCullFace)
STUB(glDeleteLists) STUB(glDeleteTextures) STUB(glDepthRange) STUB(glDisable) STUB(glEnable)
    STUB(glEnd) STUB(glEndList) STUB(glFlush) STUB(glFinish) STUB(glFrontFace) STUB(glGenLists)
        STUB(glGenTextures) STUB(glGetDoublev) STUB(glGetError) STUB(glGetIntegerv) STUB(glHint)
            STUB(glInitNames) STUB(glLoadIdentity) STUB(glLoadName) STUB(glMatrixMode)
                STUB(glNewList) STUB(glOrtho) STUB(glPixelStorei) STUB(glPointSize)
                    STUB(glPolygonMode) STUB(glPushName) STUB(glRenderMode) STUB(glRotated)
                        STUB(glScaled) STUB(glSelectBuffer) STUB(glShadeModel) STUB(glTexCoord2f)
                            STUB(glTexEnvf)
#ifndef VORLIN_STUB_WITHOUT_TEXGENIV
                                STUB(glTexGeniv)
#endif
                                    STUB(glTexImage2D) STUB(glTexParameterf) STUB(glTranslated)
                                        STUB(glVertex3d) STUB(glVertex3f) STUB(glViewport)
                                            STUB(glXCreateContext) STUB(glXDestroyContext)
                                                STUB(glXGetCurrentContext) STUB(glXMakeCurrent)
                                                    STUB(glXGetProcAddress)
