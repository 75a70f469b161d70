// Loading the graphics entry points by name. The failing loads come first: a successful load
// is kept for the rest of the process.
#include <QtTest>

#include "gl/GLunit.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

class TestGLunit : public QObject {
    Q_OBJECT
private slots:
    void missingLibraryNamesItself() {
        test::RecordingSink sink;
        QVERIFY(!LoadOpenGL("libvorlin-no-such-gl.so", kGLULibrary));
        QCOMPARE(sink.warnings(),
                 std::vector<std::string>{"Couldn't load libvorlin-no-such-gl.so"});
        QVERIFY(!OpenGLLoaded());
    }

    void firstMissingEntryPointOnly() {
        test::RecordingSink sink;
        QVERIFY(!LoadOpenGL(VORLIN_GL_STUB_NO_TEXGENIV, kGLULibrary));
        QCOMPARE(sink.warnings(),
                 std::vector<std::string>{std::string("Couldn't find function glTexGeniv in ") +
                                          VORLIN_GL_STUB_NO_TEXGENIV});
        QVERIFY(!OpenGLLoaded());
        QVERIFY(GL.glBegin == nullptr); // nothing points into the unloaded library
    }

    void missingUtilityLibrary() {
        test::RecordingSink sink;
        QVERIFY(!LoadOpenGL(VORLIN_GL_STUB_FULL, "libvorlin-no-such-glu.so"));
        QCOMPARE(sink.warnings(),
                 std::vector<std::string>{"Couldn't load libvorlin-no-such-glu.so"});
        QVERIFY(!OpenGLLoaded());
    }

    void systemLibrariesLoadOnce() {
        test::RecordingSink sink;
        QVERIFY(LoadOpenGL());
        QVERIFY(OpenGLLoaded());
        QVERIFY(GL.glTexGeniv != nullptr);
        QVERIFY(GL.gluPerspective != nullptr);
        // Loaded: later calls answer at once, whatever they name.
        QVERIFY(LoadOpenGL("libvorlin-no-such-gl.so", "libvorlin-no-such-glu.so"));
        QVERIFY(sink.warnings().empty());
    }
};

QTEST_GUILESS_MAIN(TestGLunit)
#include "test_glunit.moc"
