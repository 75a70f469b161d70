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
#include <QUndoStack>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "app/autosave.h"
#include "app/vorlinform.h"
#include "edit/recovery.h"
#include "key/u_key.h"
#include "support/DialogSeams.h"
#include "support/qt_strings.h"
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
    form.Load3DO(kModel);
    form.LoadKEY(argv[2]);
    form.Autosave->onWritten = [] {
        std::puts("autosaved");
        std::fflush(stdout);
    };
    form.findChild<QToolButton*>("BNAddEntry")->click();
    return app.exec();
}

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
            QCOMPARE(ModalDuring([&] { other.OfferRecovery(); }), QString());
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
            if (QGuiApplication::platformName() == "xcb")
                QProcess::execute("xdotool", {"key", "--clearmodifiers", "alt+r"});
            else
                Get<QPushButton>(dialog, "BNRecover")->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kSystemWait);
        });
        form.OfferRecovery();
        for (const char* aside : {"/unreadable/session-1-1.key", "/unreadable/session-2-2.key"})
            QVERIFY(std::filesystem::exists(FromQ(RecoveryFolder()) + aside));
        QCOMPARE(form.Session.KeyFile->Nodes[0].Entries.Count(), 5);
        QCOMPARE(form.Session.KeyFile->FullName, key);
        QVERIFY(form.isWindowModified());
        QCOMPARE(form.UndoStack->count(), 0);
        QCOMPARE(Folder().Sessions(), std::vector<std::string>{form.Autosave->Session()});

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
        form.Load3DO(kModel);
        form.LoadKEY(QString::fromStdString(key));
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
        form.OfferRecovery();
        QCOMPARE(form.Session.KeyFile->Nodes[0].Entries.Count(), 5); // the copy's change
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

    // Undo back to the save point: the copy of the undone change goes with it.
    void undoingToTheSavePointDropsTheCopy() {
        const std::string key = files_->write(
            "walk.key", ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key"));
        TVorlinForm form;
        form.Load3DO(kModel);
        form.LoadKEY(QString::fromStdString(key));
        Get<QAction>(&form, "AddEntry1")->trigger();
        form.Autosave->SaveNow();
        form.Autosave->Wait();
        QCOMPARE(Folder().Sessions(), std::vector<std::string>{form.Autosave->Session()});
        form.UndoStack->undo();
        QVERIFY(!form.isWindowModified());
        QVERIFY(Folder().Sessions().empty());
        form.UndoStack->redo(); // changed again: kept again after the wait
        form.Autosave->SaveNow();
        form.Autosave->Wait();
        QCOMPARE(Folder().Sessions().size(), size_t(1));
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--child") return RunChild(argc, argv);
    QApplication app(argc, argv);
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_recovery.moc"
