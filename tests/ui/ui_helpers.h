// What the widget tests share: a private settings folder, real files in a temporary folder,
// message boxes answered and recorded, modal dialogs driven once they are up, controls found
// by name, and mouse drags with the buttons held.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "edit/key_document.h"
#include "panels/view/paint_box.h"
#include "settings/GlobalVars.h"
#include "common/DialogSeams.h"
#include "fixtures/fixtures.h"

namespace vorlin::test {

// A model of two roots: ROOT (no mesh) and LONE, whose triangle faces the front view's eye.
inline const char* kTwoNodeModel =
    "SECTION: MODELRESOURCE\nMATERIALS 0\n"
    "SECTION: GEOMETRYDEF\nRADIUS 1\nINSERT OFFSET 0 0 0\nGEOSETS 1\nGEOSET 0\n"
    "MESHES 1\nMESH 0\nNAME tri\nVERTICES 3\n0: -0.5 0 -0.5\n1: 0.5 0 -0.5\n"
    "2: 0 0 0.5\nTEXTURE VERTICES 0\nFACES 1\n0: 0 0x0 4 3 0 0 3 0,0 2,0 1,0\n"
    "SECTION: HIERARCHYDEF\nHIERARCHY NODES 2\n"
    "0: 0x0 0x1 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\n"
    "1: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 lone\n";

// A KEY for that model: ROOT with one entry, LONE with two, 30 frames.
inline const char* kTwoNodeKey =
    "SECTION: HEADER\nFRAMES 30\nJOINTS 2\nSECTION: KEYFRAME NODES\nNODES 2\nNODE 0\n"
    "MESH NAME ROOT\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\n"
    "MESH NAME LONE\nENTRIES 2\n0: 0 0x1 1.5 0 0 0 0 0\n0 0 0 0 0 0\n"
    "1: 10 0x0 2 0 0 0 0 0\n0 0 0 0 0 0\n";

// How long a test waits for what the window system does (a window becoming active, a dialog
// closing after a key sent through the X server): long enough for a loaded 2-core machine.
constexpr int kSystemWait = 20000;

inline bool WaitActive(QWidget* w) {
    return QTest::qWaitForWindowActive(w, kSystemWait);
}

// A window that must be active for keys and focus to behave as on a desktop: without a window
// manager it never becomes so, and the test fails saying so (and returns).
#define VERIFY_ACTIVE(w)                                                                           \
    QVERIFY2(::vorlin::test::WaitActive(w),                                                        \
             "the window did not become active: this test needs a window manager "                 \
             "(scripts/desktop.sh starts one)")

// Runs a set-up helper that may fail, and ends the test there when it did (a helper's QVERIFY
// only ends the helper).
#define SETUP(call)                                                                                \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed()) return;                                                    \
    } while (0)

// The name of the step Undo would take back ("Move Keys"); empty when there is none.
inline QString UndoText(const TKeyDocument& doc) {
    return QString::fromStdString(doc.History().UndoName());
}

struct Box {
    QString text, caption;
    unsigned flags;
};

class UiTestBase {
protected:
    std::unique_ptr<QTemporaryDir> config_;
    std::unique_ptr<TempDir> files_;
    std::vector<Box> boxes_;
    int answer_ = IDOK;
    int noViewBoxes_ = 0; // messages that the display has no OpenGL, not kept in boxes_

    // Fresh settings (defaults, no store), a fresh folder, message boxes recorded.
    void InitBase() {
        config_ = std::make_unique<QTemporaryDir>();
        files_ = std::make_unique<TempDir>();
        qputenv("XDG_CONFIG_HOME", config_->path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (config_->path() + "/data").toLocal8Bit()); // recovery files
        AssignDefaults();
        ProjectDir.clear();
        FirstRun = false;
        boxes_.clear();
        answer_ = IDOK;
        noViewBoxes_ = 0;
        SetMessageBoxHandler([this](const QString& text, const QString& caption, unsigned flags) {
            // On a display without OpenGL (the offscreen platform) the editor says once that
            // it has no 3D view; the tests are about everything else.
            if (text == "Couldn't initialize OpenGL" && !OpenGLAvailable()) {
                ++noViewBoxes_;
                return IDOK;
            }
            boxes_.push_back({text, caption, flags});
            return answer_;
        });
    }
    void CleanupBase() {
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
        SetColorDialogHandler({});
        AssignDefaults();
        ProjectDir.clear();
    }

    QString Store() const { return config_->filePath("Brennick/Vorlin06.conf"); }
    void MakeStore(const QString& text = "[General]\n") {
        QDir().mkpath(config_->filePath("Brennick"));
        QFile f(Store());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    QString Write(const std::string& relative, const std::string& bytes) {
        return QString::fromStdString(files_->write(relative, bytes));
    }

    // Runs body once the next modal dialog is up. Should body stop early on a failed check,
    // the dialog is closed anyway, so that the test fails instead of waiting for a person.
    void WhenModal(std::function<void(QWidget*)> body) {
        QTimer::singleShot(0, [body] {
            QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
            QPointer<QWidget> dialog = QApplication::activeModalWidget();
            body(dialog);
            if (dialog && dialog->isVisible()) {
                QTest::qFail("the dialog was left open", __FILE__, __LINE__);
                if (auto* d = qobject_cast<QDialog*>(dialog.data())) d->reject();
            }
        });
    }

    // The texts of the message boxes shown so far, which are then forgotten.
    QStringList TakeMessages() {
        QStringList out;
        for (const Box& b : boxes_)
            out << b.text;
        boxes_.clear();
        return out;
    }

    // Confirms the next modal dialog with the button of that name once it is up.
    void ConfirmNext(const char* button) {
        WhenModal([button](QWidget* dialog) { Get<QAbstractButton>(dialog, button)->click(); });
    }

    template <typename T> static T* Get(QObject* parent, const char* name) {
        T* c = parent->findChild<T*>(name);
        if (!c) qFatal("no control %s", name);
        return c;
    }
};

// Mouse events with the buttons really held, as a person makes them.
inline void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons held, Qt::KeyboardModifiers keys = {}) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, keys);
    QApplication::sendEvent(w, &e);
}

// Presses at from, moves in steps to each point of path, releases at the last.
inline void Drag(QWidget* w, QPoint from, const std::vector<QPoint>& path,
                 Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, from, button, button);
    QPoint last = from;
    for (QPoint p : path) {
        SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, button);
        last = p;
    }
    SendMouse(w, QEvent::MouseButtonRelease, last, button, Qt::NoButton);
}

} // namespace vorlin::test
