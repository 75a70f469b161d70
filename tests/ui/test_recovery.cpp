// Unsaved work survives a crash: an editor process makes a change and autosaves, is killed
// with SIGKILL, and the next start recovers the change and saves it where it belongs. A
// running editor's files are never offered, a damaged recovery file is set aside, and a file
// changed by another program is never overwritten without a question.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/termination.h"
#include "app/vorlinform.h"
#include "common/DialogSeams.h"
#include "common/qt_strings.h"
#include "edit/recovery.h"
#include "key/u_key.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const QString kModel = QString(VORLIN_SAMPLE_DIR) + "/3do/sample.3do";

// The editor the test kills: it adds an entry to the sample's root node, and says when the
// autosave after it is on disk.
int RunChild(int argc, char** argv) {
    QApplication app(argc, argv);
    Settings.AUTOSAVE_SECONDS = 1;
    TVorlinForm form;
    form.show();
    form.Files().Load3DO(kModel);
    form.Files().LoadKEY(argv[2]);
    form.Files().Autosave->onWritten = [] {
        std::puts("autosaved");
        std::fflush(stdout);
    };
    form.findChild<QToolButton*>("BNAddEntry")->click();
    return app.exec();
}

// An editor with an unsaved change and autosave off, ended from outside: by a signal, or by its
// display going away (the display it is given). "--save" saves the change, so only its lock
// is left behind.
int RunEndedChild(int argc, char** argv) {
    QApplication app(argc, argv);
    Settings.AUTOSAVE_SECONDS = 0;
    TVorlinForm form;
    form.show();
    form.Files().Load3DO(kModel);
    form.Files().LoadKEY(argv[2]);
    form.findChild<QToolButton*>("BNAddEntry")->click();
    if (argc > 3 && std::string(argv[3]) == "--save") {
        form.Files().Autosave->SaveNow(); // the session's lock is taken with its first copy
        form.Files().Autosave->Wait();
        form.Files().SaveKEY();
    }
    const TTermination ending([&] { form.Files().KeepForRecovery(); });
    std::puts("edited");
    std::fflush(stdout);
    return app.exec();
}

// The window the X server sends the keys to.
WId KeyboardFocus() {
    QProcess xdotool;
    xdotool.start("xdotool", {"getwindowfocus"});
    xdotool.waitForFinished();
    return WId(xdotool.readAllStandardOutput().trimmed().toULongLong());
}

// A display of its own (the test ends it under the editor), on a free number.
struct TOwnDisplay {
    QProcess server;
    QString name;
    int number = 0;
    bool Start() {
        for (int n = 91; n < 130 && name.isEmpty(); ++n) {
            // A number is taken by a socket, or by a lock that a live server holds (a server
            // gone leaves its lock, which the next one takes over).
            if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)) || LockHeld(n)) continue;
            server.start("Xvfb",
                         {QString(":%1").arg(n), "-screen", "0", "800x600x24", "-nolisten", "tcp"});
            if (!server.waitForStarted()) return false;
            for (int i = 0; i < 200 && server.state() == QProcess::Running &&
                            !QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n));
                 ++i)
                QTest::qWait(25);
            if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n))) {
                name = QString(":%1").arg(n);
                number = n;
            }
        }
        return !name.isEmpty();
    }
    static bool LockHeld(int n) {
        QFile lock(QString("/tmp/.X%1-lock").arg(n));
        if (!lock.open(QIODevice::ReadOnly)) return false;
        const long pid = lock.readAll().trimmed().toLong();
        return pid > 0 && ::kill(pid_t(pid), 0) == 0;
    }
    // The display goes away at once, as when its server dies; what it leaves is cleared.
    void Kill() {
        if (server.state() == QProcess::NotRunning) return;
        server.kill();
        server.waitForFinished();
        QFile::remove(QString("/tmp/.X%1-lock").arg(number));
        QFile::remove(QString("/tmp/.X11-unix/X%1").arg(number));
    }
    ~TOwnDisplay() { Kill(); }
};

} // namespace

class TestRecovery : public QObject, public UiTestBase {
    Q_OBJECT

    TRecoveryFolder Folder() { return TRecoveryFolder(FromQ(RecoveryFolder())); }
    // Closes whatever modal dialog comes up while body runs; returns its title.
    QString ModalDuring(const std::function<void()>& body) {
        QString title;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                title = w->windowTitle();
                w->close();
            }
        });
        probe.start(10);
        body();
        return title;
    }

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    void aKilledEditorsChangeIsRecoveredAndSaved() {
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--child", QString::fromStdString(key)});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        QTRY_VERIFY2_WITH_TIMEOUT((out += child.readAllStandardOutput()).contains("autosaved"),
                                  child.readAllStandardError().constData(), 30000);
        QCOMPARE(ReadAll(key), ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));

        // While it runs, its files are its own.
        {
            TVorlinForm other;
            QCOMPARE(ModalDuring([&] { other.Files().OfferRecovery(); }), QString());
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());

        // A damaged recovery file is kept aside and said so, not offered: garbage, and a copy
        // cut short (half of it would be saved over the user's file).
        Folder().Write("session-1-1", "SECTION: HEADER\nFRAMES x\n", "{\"name\": \"bad.key\"}");
        const std::string whole = TKEYFile::CreateFromFile(key)->ToText();
        Folder().Write("session-2-2", whole.substr(0, whole.size() / 2),
                       "{\"name\": \"walk.key\"}");

        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        WhenModal([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Recover Unsaved Changes"));
            VERIFY_ACTIVE(dialog);
            // Alt+R (&Recover) as the keyboard sends it: through the X server and the window
            // manager, which simulated key events do not go through. Offscreen, a click.
            if (QGuiApplication::platformName() == "xcb") {
                // The toolkit takes the window as active a moment before the X server sends it
                // the keys (on a loaded machine the key went to the window before).
                QTRY_COMPARE_WITH_TIMEOUT(KeyboardFocus(), dialog->winId(), kSystemWait);
                QProcess::execute("xdotool", {"key", "--clearmodifiers", "alt+r"});
            } else
                Get<QPushButton>(dialog, "BNRecover")->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kSystemWait);
        });
        form.Files().OfferRecovery();
        for (const char* aside : {"/unreadable/session-1-1.key", "/unreadable/session-2-2.key"})
            QVERIFY(std::filesystem::exists(FromQ(RecoveryFolder()) + aside));
        QCOMPARE(form.Document.KeyFile->Nodes[0].Entries.Count(), 5);
        QCOMPARE(form.Document.KeyFile->FullName, key);
        QVERIFY(form.isWindowModified());
        QCOMPARE(int(form.Document.History().Count()), 0);
        QCOMPARE(Folder().Sessions(), std::vector<std::string>{form.Files().Autosave->Session()});

        form.activateWindow();
        VERIFY_ACTIVE(&form);
        QTest::keySequence(&form, QKeySequence("Ctrl+S"));
        QCOMPARE(TKEYFile::CreateFromFile(key)->Nodes[0].Entries.Count(), 5);
        QVERIFY(!form.isWindowModified());
        QVERIFY(Folder().Sessions().empty());
        QVERIFY(boxes_.empty());
    }

    // Another program rewrites the open file: activating the window asks to reload; kept, the
    // next save replaces it knowingly. Changed again, saving asks first, and No saves nothing.
    void aFileChangedOnDiskIsNeverOverwrittenSilently() {
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        TVorlinForm form;
        form.show();
        VERIFY_ACTIVE(&form);
        form.Files().Load3DO(kModel);
        form.Files().LoadKEY(QString::fromStdString(key));
        form.findChild<QToolButton*>("BNAddEntry")->click();

        auto rewrite = [&](const std::string& text) {
            QTest::qWait(20); // a time stamp of its own
            files_->write("walk.key", text);
        };
        rewrite("# theirs\n" + ReadAll(key));
        answer_ = IDNO; // keep the version edited here
        {               // the user turns to the other program and back
            QWidget other;
            other.show();
            VERIFY_ACTIVE(&other);
        }
        form.activateWindow();
        VERIFY_ACTIVE(&form);
        QTRY_COMPARE(boxes_.size(), size_t(1));
        // With unsaved edits, Enter keeps them: No is the default, and the text says why.
        QVERIFY(boxes_[0].text.contains("Reload it? Reloading discards the changes made here."));
        QVERIFY(boxes_[0].flags & MB_DEFBUTTON2);

        rewrite("# theirs again\n" + ReadAll(key));
        boxes_.clear();
        QTest::keySequence(&form, QKeySequence("Ctrl+S"));
        QCOMPARE(boxes_.size(), size_t(1));
        QVERIFY(boxes_[0].text.contains("Replace it"));
        QVERIFY(ReadAll(key).starts_with("# theirs again")); // No: nothing written
        QVERIFY(form.isWindowModified());

        answer_ = IDYES;
        QTest::keySequence(&form, QKeySequence("Ctrl+S"));
        QCOMPARE(TKEYFile::CreateFromFile(key)->Nodes[0].Entries.Count(), 5);
        QVERIFY(!form.isWindowModified());
    }

    // The copy of a killed session, then the file saved with other work (the user chose Later
    // and went on): the dialog says the file is newer, and Save asks before replacing it.
    void anOldCopyNeverReplacesANewerSaveSilently() {
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--child", QString::fromStdString(key)});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += child.readAllStandardOutput()).contains("autosaved"),
                                 30000);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        {
            QTest::qWait(20); // a time stamp of its own
            auto saved = TKEYFile::CreateFromFile(key);
            saved->Nodes[1].Entries[1].X += 1;
            saved->SaveToFile(key);
        }
        const std::string newer = ReadAll(key);

        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        WhenModal([](QWidget* dialog) {
            auto* list = Get<QTreeWidget>(dialog, "LVRecover");
            QCOMPARE(list->topLevelItem(0)->text(3), QString("changed since"));
            QVERIFY(Get<QLabel>(dialog, "LBDiskChanged")->isVisible());
            Get<QPushButton>(dialog, "BNRecover")->click();
        });
        form.Files().OfferRecovery();
        QCOMPARE(form.Document.KeyFile->Nodes[0].Entries.Count(), 5); // the copy's change
        QVERIFY(boxes_.empty()); // the dialog told of the file: no question to reload it
        answer_ = IDNO;
        Get<QAction>(&form, "SaveKEY1")->trigger();
        QCOMPARE(boxes_.size(), size_t(1));
        QVERIFY(boxes_[0].text.contains("Replace it with the version edited here?"));
        QCOMPARE(ReadAll(key), newer);
        answer_ = IDYES;
        Get<QAction>(&form, "SaveKEY1")->trigger();
        QCOMPARE(TKEYFile::CreateFromFile(key)->Nodes[0].Entries.Count(), 5);
        QVERIFY(Folder().Sessions().empty());
    }

    // A logout (SIGHUP), a stop or a task manager's kill (SIGTERM), or the X server going away
    // with autosave off: the change is in the recovery copy, and the editor ends as the signal
    // ends a program (the display's loss as Qt ends it, status 1). The next start offers it.
    void anEditorEndedFromOutsideKeepsItsChange_data() {
        QTest::addColumn<int>("signal"); // 0: the display goes away
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("the display goes away") << 0;
    }
    void anEditorEndedFromOutsideKeepsItsChange() {
        QFETCH(int, signal);
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        TOwnDisplay display;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (signal == 0) {
            QVERIFY2(display.Start(), "Xvfb did not start");
            env.insert("DISPLAY", display.name);
            env.insert("QT_QPA_PLATFORM", "xcb");
        }
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--ended-child", QString::fromStdString(key)});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        QTRY_VERIFY2_WITH_TIMEOUT((out += child.readAllStandardOutput()).contains("edited"),
                                  child.readAllStandardError().constData(), 30000);
        if (signal)
            ::kill(pid_t(child.processId()), signal);
        else
            display.Kill();
        QVERIFY(child.waitForFinished(30000));
        if (signal) {
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QCOMPARE(child.exitCode(), signal);
        } else {
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 1);
        }
        const std::vector<std::string> sessions = Folder().Sessions();
        QCOMPARE(sessions.size(), size_t(1));
        QCOMPARE(Folder().ReadKey(sessions[0])->Nodes[0].Entries.Count(), 5);
        QCOMPARE(ReadAll(key), ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        TVorlinForm form;
        QString offered;
        WhenModal([&](QWidget* dialog) {
            offered = dialog->windowTitle();
            Get<QPushButton>(dialog, "BNLater")->click();
        });
        form.Files().OfferRecovery();
        QCOMPARE(offered, QString("Recover Unsaved Changes"));
    }

    // What killed sessions leave besides their copies: a lock nothing holds, half-written
    // temporary files in the recovery folder and in the user's. The next start removes the
    // recovery folder's, the next save into a folder that folder's; a live writer's file and
    // files of other programs stay.
    void leftoversOfKilledSessionsGo() {
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--ended-child", QString::fromStdString(key), "--save"});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += child.readAllStandardOutput()).contains("edited"), 30000);
        const std::string dead = std::to_string(child.processId());
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        const std::string recovery = FromQ(RecoveryFolder());
        QVERIFY(Folder().Sessions().empty());
        QCOMPARE(QDir(ToQ(recovery)).entryList({"*.lock"}, QDir::Files).size(), qsizetype(1));
        const std::string halfCopy = recovery + "/.session-" + dead + "-1.key." + dead + "-9";
        const std::string halfSave = files_->file(".walk.key." + dead + "-9");
        const std::string live = files_->file(".walk.key.1-9"); // process 1 runs
        const std::string theirs = files_->file(".notes.txt." + dead + "-9");
        for (const std::string& f : {halfCopy, halfSave, live, theirs})
            WriteAll(f, "half");

        TVorlinForm form;
        QCOMPARE(ModalDuring([&] { form.Files().OfferRecovery(); }), QString());
        QVERIFY(QDir(ToQ(recovery)).entryList({"*.lock"}, QDir::Files).isEmpty());
        QVERIFY(!std::filesystem::exists(halfCopy));
        form.Files().Load3DO(kModel);
        form.Files().LoadKEY(QString::fromStdString(key));
        form.findChild<QToolButton*>("BNAddEntry")->click();
        QVERIFY(form.Files().SaveKEY());
        QVERIFY(!std::filesystem::exists(halfSave));
        QVERIFY(std::filesystem::exists(live));
        QVERIFY(std::filesystem::exists(theirs));
    }

    // A change every quarter second for three seconds with a copy due one second after a
    // change: the copy is written while the editing goes on, not only once it stops.
    void steadyEditingIsCopied() {
        Settings.AUTOSAVE_SECONDS = 1;
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        TVorlinForm form;
        form.Files().Load3DO(kModel);
        form.Files().LoadKEY(QString::fromStdString(key));
        int written = 0;
        form.Files().Autosave->onWritten = [&] { ++written; };
        for (int i = 0; i < 12 && written == 0; ++i) {
            Get<QAction>(&form, "AddEntry1")->trigger();
            QTest::qWait(250);
        }
        QVERIFY(written > 0);
    }

    // Undo back to the save point: the copy of the undone change goes with it.
    void undoingToTheSavePointDropsTheCopy() {
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        TVorlinForm form;
        form.Files().Load3DO(kModel);
        form.Files().LoadKEY(QString::fromStdString(key));
        Get<QAction>(&form, "AddEntry1")->trigger();
        form.Files().Autosave->SaveNow();
        form.Files().Autosave->Wait();
        QCOMPARE(Folder().Sessions(), std::vector<std::string>{form.Files().Autosave->Session()});
        form.Document.Undo();
        QVERIFY(!form.isWindowModified());
        QVERIFY(Folder().Sessions().empty());
        form.Document.Redo(); // changed again: kept again after the wait
        form.Files().Autosave->SaveNow();
        form.Files().Autosave->Wait();
        QCOMPARE(Folder().Sessions().size(), size_t(1));
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--child") return RunChild(argc, argv);
    if (argc > 2 && std::string(argv[1]) == "--ended-child") return RunEndedChild(argc, argv);
    QApplication app(argc, argv);
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_recovery.moc"
