// The main window and the start-up sequence, driven through their controls; every modal
// question is answered through the dialog seams.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "app/vorlin_app.h"
#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "options/u_options.h"
#include "common/DialogSeams.h"
#include "fixtures/fixtures.h"
#include "ui_helpers.h"

using namespace vorlin;

using namespace vorlin::test;

namespace {

const char* kModel = kTwoNodeModel;

} // namespace

class TestMainWindow : public QObject, public UiTestBase {
    Q_OBJECT

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    // ---- first run ----

    void firstRunOkWritesTheSettings() {
        LoadSettings();
        QVERIFY(FirstRun);
        WhenModal([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Options"));
            QCOMPARE(dialog->focusWidget(), Get<QPushButton>(dialog, "BNCancel"));
            Get<QLineEdit>(dialog, "EBNOF")->setText("55");
            Get<QPushButton>(dialog, "BNOK")->click();
        });
        TVorlinApp app;
        QVERIFY(app.Started());
        QVERIFY(!FirstRun);
        QVERIFY(QFile::exists(Store()));
        QCOMPARE(Settings.DEFAULT_NUMFRAMES, 55);
    }

    void firstRunCancelEndsWithoutWriting() {
        LoadSettings();
        WhenModal([](QWidget* dialog) { Get<QPushButton>(dialog, "BNCancel")->click(); });
        TVorlinApp app;
        QVERIFY(!app.Started());
        QVERIFY(!QFile::exists(Store()));
    }

    void firstRunCloseBoxKeepsTheProgramRunning() {
        LoadSettings();
        WhenModal([](QWidget* dialog) { dialog->close(); });
        TVorlinApp app;
        QVERIFY(app.Started());
        QVERIFY(FirstRun);
        SaveExitSettings();
        QVERIFY(!QFile::exists(Store())); // the dialog opens again at the next start
    }

    // ---- options ----

    void optionsChecksInOrder() {
        TOptions options;
        auto fail = [&](const char* field, const char* value, const char* message) {
            boxes_.clear();
            WhenModal([=, this](QWidget* dialog) {
                Get<QLineEdit>(dialog, "EBJKGOB")->setText("");
                Get<QLineEdit>(dialog, "EBMOTSGOB")->setText("");
                Get<QLineEdit>(dialog, field)->setText(value);
                Get<QPushButton>(dialog, "BNOK")->click();
                QVERIFY(dialog->isVisible()); // still open
                QCOMPARE(dialog->focusWidget(), Get<QLineEdit>(dialog, field));
                Get<QPushButton>(dialog, "BNCancel")->click();
            });
            QVERIFY(!options.ShowOptions());
            QCOMPARE(int(boxes_.size()), 1);
            QCOMPARE(boxes_[0].text, QString(message));
            QCOMPARE(boxes_[0].caption, QString("Warning"));
            QCOMPARE(boxes_[0].flags, MB_OK | MB_ICONWARNING);
        };
        fail("EBNOF", "ten", "Number of frames is not a valid number");
        fail("EBFPS", "abc", "Frames per second is not a valid number");
        fail("EBFBE", "1.5", "Frames between entries is not a valid number");
        fail("EBFBE", "0", "Frames between entries must be at least 1"); // keys on one frame
        fail("EBFBE", "-3", "Frames between entries must be at least 1");
        fail("EBSTEP", "0,5", "Move step is not a valid number");
        fail("EBSTEP", "", "Move step is not a valid number"); // an empty field is no number
        QCOMPARE(Settings.DEFAULT_FRAMERATE, 15);
        QCOMPARE(Settings.MOVE_STEP, 0.01);
    }

    void optionsMissingContainerAndTakeOver() {
        TOptions options;
        const QString missing = files_->file("none.gob").c_str();
        answer_ = IDNO;
        WhenModal([=, this](QWidget* dialog) {
            QCOMPARE(Get<QLineEdit>(dialog, "EBSTEP")->text(), QString("0.01"));
            Get<QLineEdit>(dialog, "EBJKGOB")->setText(missing);
            Get<QLineEdit>(dialog, "EBFPS")->setText("30");
            Get<QPushButton>(dialog, "BNOK")->click();
            QVERIFY(dialog->isVisible());
            QCOMPARE(Get<QLineEdit>(dialog, "EBJKGOB")->text(), missing); // fields as typed
            answer_ = IDYES;
            Get<QCheckBox>(dialog, "CBShowFloor")->setChecked(true);
            Get<QLineEdit>(dialog, "EBSTEP")->setText("0.25");
            Get<QPushButton>(dialog, "BNOK")->click();
        });
        QVERIFY(options.ShowOptions());
        QCOMPARE(boxes_.size(), size_t(2));
        QCOMPARE(boxes_[0].text, missing + " does no exist, continue?");
        QCOMPARE(boxes_[0].caption, QString("Options Warning"));
        QCOMPARE(Settings.JKGOB, missing.toStdString());
        QCOMPARE(Settings.DEFAULT_FRAMERATE, 30);
        QCOMPARE(Settings.MOVE_STEP, 0.25);
        QVERIFY(Settings.SHOW_FLOOR);
        QVERIFY(QFile::exists(Store()));
    }

    void optionsColourEditCancelled() {
        TOptions options;
        SetColorDialogHandler([](const QColor&) { return std::optional<QColor>(QColor(1, 2, 3)); });
        WhenModal([](QWidget* dialog) {
            Get<QPushButton>(dialog, "BNEdit")->click();
            Get<QPushButton>(dialog, "BNCancel")->click();
        });
        QVERIFY(!options.ShowOptions());
        QCOMPARE(Settings.COLOR_BACKGROUND, TColor(0));
        WhenModal([&](QWidget* dialog) {
            QCOMPARE(options.WorkingColours()[0], TColor(0)); // the old colour again
            Get<QPushButton>(dialog, "BNEdit")->click();
            Get<QPushButton>(dialog, "BNOK")->click();
        });
        QVERIFY(options.ShowOptions());
        QCOMPARE(Settings.COLOR_BACKGROUND, TColor(0x030201));
    }

    // ---- window geometry ----

    void geometryRules() {
        // Raised to the first size, lowered to the screen, and moved onto it (a frame's room
        // left): never a title bar out of reach.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        Settings.VORLIN_WIDTH = 500;
        Settings.VORLIN_LEFT = 5000;
        {
            TVorlinForm form;
            QCOMPARE(form.width(), 660);
            QCOMPARE(Settings.VORLIN_WIDTH, 660);
            QVERIFY(form.pos().x() > screen.right() - 700);
            QVERIFY(form.pos().x() + 660 < screen.right());
        }
        Settings.VORLIN_WIDTH = 99999;
        Settings.VORLIN_HEIGHT = 99999;
        Settings.VORLIN_TOP = -50;
        {
            TVorlinForm form;
            QVERIFY(form.width() < screen.width() && form.width() > screen.width() - 50);
            QVERIFY(form.height() < screen.height() && form.height() > screen.height() - 100);
            QCOMPARE(form.pos(), screen.topLeft());
            QCOMPARE(Settings.VORLIN_LEFT, screen.left()); // and kept so at the close
        }
    }

    void maximisedCloseKeepsTheRestoredBounds() {
        Settings.VORLIN_LEFT = 10;
        Settings.VORLIN_TOP = 20;
        Settings.VORLIN_WIDTH = 700;
        TVorlinForm form;
        form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(form.isMaximized());
        QVERIFY(form.close());
        QVERIFY(Settings.WINDOW_MAXIMIZED);
        QCOMPARE(Settings.VORLIN_LEFT, 10);
        QCOMPARE(Settings.VORLIN_WIDTH, 700);
    }

    // ---- loading, recent lists, enabling ----

    void recentListRules() {
        TVorlinForm form;
        std::vector<QString> paths;
        for (const char* name : {"a.3do", "b.3do", "A.3DO", "c.3do", "d.3do", "e.3do"})
            paths.push_back(Write(name, kModel));
        form.Files().Load3DO(paths[0]);
        form.Files().Load3DO(paths[1]);
        form.Files().Load3DO(paths[0]);
        QCOMPARE(Settings.RECENT_3DO[0], paths[0].toStdString());
        QCOMPARE(Settings.RECENT_3DO[1], paths[1].toStdString());
        QVERIFY(Settings.RECENT_3DO[2].empty());
        form.Files().Load3DO(paths[2]); // another case: another entry
        QCOMPARE(Settings.RECENT_3DO[2], paths[1].toStdString());
        for (int i = 3; i < 6; ++i)
            form.Files().Load3DO(paths[size_t(i)]);
        QCOMPARE(Settings.RECENT_3DO[0], paths[5].toStdString());
        QCOMPARE(Settings.RECENT_3DO[4], paths[0].toStdString());
        for (int i = 0; i < 5; ++i)
            QVERIFY(Settings.RECENT_3DO[size_t(i)] != paths[1].toStdString()); // pushed out
        auto* reopen = Get<QMenu>(&form, "Reopen3DO1");
        QCOMPARE(reopen->actions().size(), 5);
        QCOMPARE(reopen->actions()[0]->text(), paths[5]);
    }

    void reopenKEYWaitsForAModel() {
        Settings.RECENT_KEY[0] = "/somewhere/walk.key";
        TVorlinForm form;
        QVERIFY(!Get<QMenu>(&form, "ReopenKEY1")->isEnabled());
        form.Files().Load3DO(Write("m.3do", kModel));
        QVERIFY(Get<QMenu>(&form, "ReopenKEY1")->isEnabled());
    }

    void enablingAfterAModelAndAKEY() {
        TVorlinForm form;
        for (const char* name : {"SetCMP1", "NewKEY1", "OpenKEY1", "SaveKEY1"})
            QVERIFY(!Get<QAction>(&form, name)->isEnabled());
        QVERIFY(Get<QAction>(&form, "Open3DO1")->isEnabled());
        QVERIFY(!Get<QToolButton>(&form, "BNTextured")->isEnabled());
        form.Files().Load3DO(Write("m.3do", kModel));
        for (const char* name : {"SetCMP1", "NewKEY1", "OpenKEY1"})
            QVERIFY(Get<QAction>(&form, name)->isEnabled());
        QVERIFY(!Get<QAction>(&form, "SaveKEY1")->isEnabled());
        QVERIFY(Get<QMenu>(&form, "View1")->isEnabled());
        QVERIFY(!Get<QMenu>(&form, "EditKey1")->isEnabled());
        QVERIFY(Get<QToolButton>(&form, "BNTextured")->isChecked()); // the first model textured
        QVERIFY(Get<QLabel>(&form, "STM")->isEnabled());
        QVERIFY(!Get<QToolButton>(&form, "BNPlay")->isEnabled());
        QCOMPARE(Get<QLabel>(&form, "PL3DO")->text(), QString("3DO: m.3do"));
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: <click to load>"));
        auto* tree = Get<QTreeWidget>(&form, "TV3DO");
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(1)->text(0), QString("lone"));

        std::string key = "SECTION: HEADER\nFRAMES 30\nSECTION: KEYFRAME NODES\nNODES 2\nNODE 0\n"
                          "MESH NAME ROOT\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\nNODE 1\n"
                          "MESH NAME LONE\nENTRIES 2\n0: 0 0x1 1.5 0 0 0 0 0\n0 0 0 0 0 0\n"
                          "1: 10 0x0 2 0 0 0 0 0\n0 0 0 0 0 0\n";
        form.Files().LoadKEY(Write("walk.key", key));
        QVERIFY(Get<QAction>(&form, "SaveKEY1")->isEnabled());
        QVERIFY(Get<QMenu>(&form, "EditKey1")->isEnabled());
        QVERIFY(Get<QToolButton>(&form, "BNEdit")->isChecked());
        QVERIFY(Get<QToolButton>(&form, "BNXAxis")->isChecked());
        QVERIFY(Get<QToolButton>(&form, "BNRotate")->isChecked());
        QVERIFY(Get<QToolButton>(&form, "BNPlay")->isEnabled());
        QCOMPARE(Get<QScrollBar>(&form, "SBFrame")->maximum(), 29);
        QCOMPARE(Get<QLabel>(&form, "LBFrame")->text(), QString("0/29"));
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: walk.key"));
        QCOMPARE(form.PanelText(1), QString("Entry 0"));
        // Frame 4 poses node LONE at x 1.5 (its entry's rate is 0); the pose text names node 0.
        form.Document.SetFrame(4);
        QCOMPARE(form.Document.Model->HNodes[1].CurX, 1.5);
        QCOMPARE(form.PanelText(3),
                 QString("X: 0.00  Y: 0.00  Z: 0.00  Pitch: 0.00  Roll: 0.00  Yaw: 0.00"));
        QCOMPARE(Get<QLabel>(&form, "LBFrame")->text(), QString("4/29"));
    }

    void failedLoadsKeepWhatIsOnShow() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kModel));
        form.Files().LoadKEY(Write("walk.key", kTwoNodeKey));
        const T3DO* model = form.Document.Model.get();
        const TKEYFile* doc = form.Document.KeyFile.get();
        form.RunCommand([&] { form.Files().Load3DO(files_->file("gone.3do").c_str()); });
        form.RunCommand([&] { form.Files().LoadKEY(files_->file("gone.key").c_str()); });
        QCOMPARE(boxes_.size(), size_t(2));
        QCOMPARE(boxes_[0].text, QString::fromStdString("Cannot read " + files_->file("gone.3do") +
                                                        ": there is no such file"));
        QCOMPARE(form.Document.Model.get(), model);
        QCOMPARE(form.Document.KeyFile.get(), doc);
        QCOMPARE(Get<QTreeWidget>(&form, "TV3DO")->topLevelItemCount(), 2);
        QCOMPARE(Get<QLabel>(&form, "PL3DO")->text(), QString("3DO: m.3do"));
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: walk.key"));
        QCOMPARE(Settings.RECENT_3DO[0], files_->file("m.3do")); // not entered
        QCOMPARE(Settings.RECENT_KEY[0], files_->file("walk.key"));
        QVERIFY(Settings.RECENT_KEY[1].empty());
    }

    void recentPathsOpenFromAnyFolder() {
        Write("work/3do/m.3do", kModel);
        Write("work/3do/key/walk.key", kTwoNodeKey);
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(files_->file("work"))));
        {
            TVorlinForm form;
            form.Files().Load3DO("3do/m.3do");
            form.Files().LoadKEY("3do/key/walk.key");
            QCOMPARE(Settings.RECENT_3DO[0], files_->file("work/3do/m.3do"));
            QCOMPARE(Settings.RECENT_KEY[0], files_->file("work/3do/key/walk.key"));
            QCOMPARE(ProjectDir, files_->file("work") + "/");
        }
        QVERIFY(QDir::setCurrent(QString::fromStdString(files_->file(""))));
        TVorlinForm form;
        QVERIFY(!Get<QMenu>(&form, "ReopenKEY1")->isEnabled()); // no model yet
        Get<QMenu>(&form, "Reopen3DO1")->actions()[0]->trigger();
        QVERIFY(form.Document.Model != nullptr);
        QVERIFY(Get<QMenu>(&form, "ReopenKEY1")->isEnabled());
        Get<QMenu>(&form, "ReopenKEY1")->actions()[0]->trigger();
        QVERIFY(form.Document.KeyFile != nullptr);
        QVERIFY(boxes_.empty());
        QDir::setCurrent(before);
    }

    // The game binds a KEY node to the model node whose index is its NODE number: the list
    // follows that binding, and Add gives a model node without one its own node.
    void theListShowsTheNodeBoundByNumberAndAddMakesOne() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kModel));
        const std::string loneOnly =
            "SECTION: HEADER\nFLAGS 0\nTYPE 0xFFFF\nFRAMES 10\nFPS 15\nJOINTS 2\n"
            "SECTION: KEYFRAME NODES\nNODES 1\nNODE 1\nMESH NAME LONE\nENTRIES 1\n"
            "0: 0 0x0 0.5 0 0 0 0 0\n0 0 0 0 0 0\n";
        form.Files().LoadKEY(Write("one.key", loneOnly));
        auto* tree = Get<QTreeWidget>(&form, "TV3DO");
        auto* list = Get<QListWidget>(&form, "LBKEY");
        auto* add = Get<QAction>(&form, "AddEntry1");
        tree->setCurrentItem(tree->topLevelItem(1));
        QCOMPARE(list->count(), 1);
        QCOMPARE(form.Document.SelectedKeyEntry().X, 0.5);
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: one.key"));
        tree->setCurrentItem(tree->topLevelItem(0));
        QCOMPARE(list->count(), 0);
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(),
                 QString("KEY: one.key (no node for root: Add Entry makes one)"));
        for (const char* name : {"DeleteEntry1", "CopyEntry1", "CurrentEntry1"})
            QVERIFY(!Get<QAction>(&form, name)->isEnabled());
        QVERIFY(add->isEnabled());
        Get<QScrollBar>(&form, "SBFrame")->setValue(4);
        add->trigger();
        QVERIFY(boxes_.empty());
        const TKEYFile& doc = *form.Document.KeyFile;
        QCOMPARE(doc.Nodes.Count(), 2);
        QCOMPARE(doc.Joint(1), 0);
        QCOMPARE(doc.Nodes[1].MeshName, std::string("ROOT"));
        QCOMPARE(doc.Nodes[1].Entries[0].Frame, 4);
        QCOMPARE(list->count(), 1);
        QVERIFY(Get<QAction>(&form, "DeleteEntry1")->isEnabled());
        QCOMPARE(UndoText(form.Document), QString("Add Node"));
        const std::string text = doc.ToText();
        QVERIFY(text.find("NODE 1\r\nMESH NAME LONE") < text.find("NODE 0\r\nMESH NAME ROOT"));
        form.Document.Undo();
        QCOMPARE(form.Document.KeyFile->Nodes.Count(), 1);
        QCOMPARE(list->count(), 0);
        form.Document.Redo();
        QCOMPARE(form.Document.KeyFile->Nodes.Count(), 2);
        QCOMPARE(list->count(), 1);
    }

    // A KEY read from a container is saved first where the user keeps KEY files on disk; the
    // name it is saved under is offered again in Reopen KEY.
    void saveAsStartsWhereKeysLiveAndIsRemembered() {
        TVorlinForm form;
        const std::string gob = files_->write(
            "game/res2.gob",
            BuildGob({{"3do\\key\\walk.key",
                       test::ReadAll(std::string(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key")}}));
        form.Files().Load3DO(Write("work/m.3do", kModel));
        std::vector<FileDialogRequest> asked;
        const std::string saved = files_->file("keys/mine.key");
        QDir().mkpath(QString::fromStdString(files_->file("keys")));
        form.Files().LoadKEY(QString::fromStdString(gob + ">3do\\key\\walk.key"));
        SetFileDialogHandler([&](const FileDialogRequest& r) {
            asked.push_back(r);
            return std::optional<QString>(QString::fromStdString(saved));
        });
        Settings.RECENT_KEY[0] = files_->file("keys/old.key");
        Settings.RECENT_KEY[1] = gob + ">3do\\key\\walk.key";
        Get<QAction>(&form, "SaveAsKEY1")->trigger();
        QCOMPARE(asked.size(), size_t(1));
        QCOMPARE(asked[0].initialPath, QString::fromStdString(files_->file("keys/walk.key")));
        QCOMPARE(asked[0].filter, QString("KEY animations (*.key)"));
        QCOMPARE(Settings.RECENT_KEY[0], saved);
        QCOMPARE(Get<QMenu>(&form, "ReopenKEY1")->actions()[0]->text().contains("mine.key"), true);
        // Without a disk KEY among the recent ones: the model's folder.
        Settings.RECENT_KEY = {};
        form.Document.KeyFile->FullName = gob + ">3do\\key\\walk.key";
        asked.clear();
        Get<QAction>(&form, "SaveAsKEY1")->trigger();
        QCOMPARE(asked[0].initialPath, QString::fromStdString(files_->file("work/mine.key")));
    }

    void projectDirFromTheModelsFolder() {
        TVorlinForm form;
        form.Files().Load3DO(Write("Game/3DO/ky.3do", kModel));
        QCOMPARE(ProjectDir, files_->file("Game") + "/");
        form.Files().Load3DO(Write("Work/ky.3do", kModel));
        QCOMPARE(ProjectDir, files_->file("Work") + "/");
        std::string gob = files_->write("res2.gob", test::BuildGob({{"3do\\ky.3do", kModel}}));
        form.Files().Load3DO(QString::fromStdString(gob + ">3do\\ky.3do"));
        QCOMPARE(ProjectDir, std::string());
    }

    // ---- closing ----

    void closeQuestion() {
        {
            TVorlinForm form;
            form.Files().Load3DO(Write("m.3do", kModel));
            ConfirmNext("BNOk");
            form.Files().CreateNewKEY();
            QCOMPARE(form.Document.KeyFile->Nodes.Count(), 2);
            answer_ = IDNO;
            QVERIFY(form.close()); // a new KEY always asks
            QCOMPARE(boxes_.size(), size_t(1));
            QCOMPARE(boxes_[0].text, QString("Save changes to Untitled.key?"));
            QCOMPARE(boxes_[0].caption, QString("Confirm"));
            QCOMPARE(boxes_[0].flags, MB_YESNOCANCEL | MB_ICONQUESTION);
        }
        boxes_.clear();
        {
            TVorlinForm form;
            const std::string path = files_->file("same.key");
            {
                TKEYFile doc;
                doc.Name = "same.key";
                doc.FullName = path;
                doc.Joints = 1;
                TKEYNode& node = doc.Nodes.Add();
                node.MeshName = "ROOT";
                node.Entries.Add();
                doc.SaveToFile(path);
            }
            form.Files().LoadKEY(QString::fromStdString(path));
            QVERIFY(form.close()); // equal to its file: no question
            QVERIFY(boxes_.empty());
        }
        {
            TVorlinForm form;
            form.Files().Load3DO(Write("m.3do", kModel));
            ConfirmNext("BNOk");
            form.Files().CreateNewKEY();
            form.Document.SetPlaying(true);
            QVERIFY(form.Transport().Timer()->isActive());
            answer_ = IDCANCEL;
            QVERIFY(!form.close());
            QVERIFY(form.Transport().Timer()->isActive()); // playback goes on
            QVERIFY(Get<QToolButton>(&form, "BNPlay")->isChecked());
            // Yes saves through the save dialog.
            answer_ = IDYES;
            const std::string saved = files_->file("saved.key");
            SetFileDialogHandler([&](const FileDialogRequest& r) {
                [&] { QCOMPARE(r.caption, QString("Save As KEY File")); }();
                return std::optional<QString>(QString::fromStdString(saved));
            });
            QVERIFY(form.close());
            QVERIFY(test::ReadAll(saved).rfind("# KEYFRAME saved.key created by Vorlin 0.6", 0) ==
                    0);
        }
    }

    void failedSaveKeepsTheWindowOpen() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kModel));
        ConfirmNext("BNOk");
        form.Files().CreateNewKEY();
        answer_ = IDYES;
        SetFileDialogHandler([&](const FileDialogRequest&) {
            return std::optional<QString>(QString::fromStdString(files_->file("no/such/x.key")));
        });
        QVERIFY(!form.close());
        QCOMPARE(boxes_.back().text,
                 QString::fromStdString("Cannot write " + files_->file("no/such/x.key") +
                                        ": the folder " + files_->file("no/such/") +
                                        " does not exist"));
        QVERIFY(form.Document.KeyFile != nullptr);
        // A KEY whose file has gone asks before it is replaced, and the command goes on.
        TKEYFile doc;
        doc.Joints = 1;
        const std::string path = files_->file("gone.key");
        doc.Nodes.Add().MeshName = "ROOT";
        doc.Nodes[0].Entries.Add();
        doc.SaveToFile(path);
        answer_ = IDNO; // the unsaved document is given up for it
        form.Files().LoadKEY(QString::fromStdString(path));
        std::filesystem::remove(path);
        boxes_.clear();
        answer_ = IDNO;
        ConfirmNext("BNOk");
        form.findChild<QAction*>("NewKEY1")->trigger();
        QCOMPARE(boxes_.size(), size_t(1));
        QCOMPARE(boxes_[0].text, QString("Save changes to gone.key?"));
        QCOMPARE(form.Document.KeyFile->Name, std::string("Untitled.key"));
        // A KEY that fails to load leaves the document on show.
        form.RunCommand([&] { form.Files().LoadKEY(QString::fromStdString(path)); });
        QCOMPARE(form.Document.KeyFile->Name, std::string("Untitled.key"));
        SetFileDialogHandler({});
        answer_ = IDNO;
    }

    void playbackStepsAndWraps() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kModel));
        Settings.DEFAULT_NUMFRAMES = 3;
        ConfirmNext("BNOk");
        form.Files().CreateNewKEY();
        form.Document.KeyFile->FPS = 30;
        form.Document.SetPlaying(true);
        QCOMPARE(form.Transport().Timer()->interval(), 33);
        auto* slider = Get<QScrollBar>(&form, "SBFrame");
        std::vector<int> shown;
        for (int i = 0; i < 4; ++i) {
            QMetaObject::invokeMethod(form.Transport().Timer(), "timeout", Qt::DirectConnection);
            shown.push_back(slider->value());
        }
        QCOMPARE(shown, (std::vector<int>{1, 2, 0, 1}));
        form.Document.SetPlaying(false);
        QVERIFY(!form.Transport().Timer()->isActive());
        QVERIFY(Get<QToolButton>(&form, "BNEdit")->isChecked());
    }

    // ---- the program itself ----

    void screenshotShowsTheModel() {
        if (!OpenGLAvailable()) QSKIP("no OpenGL on this display");
        MakeStore("[General]\nCOLOR_WIREFRAME=65280\nCOLOR_SELECTED=255\n");
        const QString model = Write("shot/m.3do", kModel);
        const QString png = QString::fromStdString(files_->file("shot.png"));
        for (bool wire : {true, false}) {
            QProcess p;
            QStringList args{"--screenshot", png, model};
            if (wire) args.insert(0, "--wireframe");
            p.start(VORLIN_EXE, args);
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitCode(), 0);
            QImage img(png);
            QVERIFY(!img.isNull());
            int green = 0, white = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 200; x < img.width(); ++x) { // the view, right of the node panel
                    QRgb c = img.pixel(x, y);
                    if (c == qRgb(0, 255, 0)) ++green;
                    if (c == qRgb(255, 255, 255)) ++white;
                }
            if (wire) {
                QVERIFY2(green > 50, "the wireframe colour outlines the unselected mesh");
            } else {
                QCOMPARE(green, 0); // textured: only the selected subtree is outlined
                QVERIFY2(white > 500, "the face is filled (white: it has no material)");
            }
        }
    }

    // On a display without OpenGL (the offscreen run) the view commands do nothing and say
    // nothing: the missing view was reported once, at start.
    void viewCommandsWithoutAViewDoNothing() {
        if (OpenGLAvailable()) QSKIP("this display has a 3D view");
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Files().Load3DO(Write("m.3do", kModel));
        for (const char* name : {"FixDisplay1", "TopView1", "CenterGrid1", "FixDisplay1"})
            Get<QAction>(&form, name)->trigger();
        QVERIFY(boxes_.empty());
        QCOMPARE(noViewBoxes_, 1); // the one at start
        QVERIFY(form.View().Renderer() == nullptr);
    }

    // The command line draws what the editor's view shows: same model, frame, camera and size
    // (the editor with the root selected, as after loading; the command line with no display).
    void renderWithoutADisplayMatchesTheView() {
        if (!OpenGLAvailable()) QSKIP("no OpenGL on this display");
        MakeStore();
        const QString model = VORLIN_SAMPLE_DIR "/3do/sample.3do";
        const QString key = VORLIN_SAMPLE_DIR "/3do/key/walk.key";
        const QString view = QString::fromStdString(files_->file("view.png"));
        const QString cli = QString::fromStdString(files_->file("cli.png"));
        QProcess editor;
        editor.start(VORLIN_EXE, {"--screenshot", view, "--part", "Pbox", model, key});
        QVERIFY(editor.waitForFinished(60000));
        QCOMPARE(editor.exitCode(), 0);
        QProcess render;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        render.setProcessEnvironment(env);
        render.start(VORLIN_CLI,
                     {"render", model, key, "--out", cli, "--size", "518x270", "--node", "root"});
        QVERIFY(render.waitForFinished(60000));
        QVERIFY2(render.exitCode() == 0, render.readAllStandardError().constData());
        const QImage a = QImage(view).convertToFormat(QImage::Format_RGB32);
        const QImage b = QImage(cli).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(a.size(), QSize(518, 270));
        QCOMPARE(b.size(), a.size());
        int differ = 0, model_ = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                differ += a.pixel(x, y) != b.pixel(x, y);
                model_ += a.pixel(x, y) != a.pixel(0, 0);
            }
        QVERIFY2(model_ > 2000, "the view shows the model");
        qInfo("%d of %d pixels differ", differ, a.width() * a.height());
        QVERIFY2(differ * 200 <= a.width() * a.height(),
                 qPrintable(QString("%1 pixels differ").arg(differ)));
    }

    // With no display (over SSH, or a Wayland session's variable left with nothing behind it),
    // what only prints works, and the editor says why it cannot start instead of aborting.
    void withoutADisplayThePrintingOptionsWork() {
        for (const char* wayland : {"", "wayland-nowhere"})
            for (const char* option : {"--version", "--help", "--paths", ""}) {
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.remove("DISPLAY");
                env.remove("QT_QPA_PLATFORM");
                if (*wayland)
                    env.insert("WAYLAND_DISPLAY", wayland);
                else
                    env.remove("WAYLAND_DISPLAY");
                QProcess p;
                p.setProcessEnvironment(env);
                p.start(VORLIN_EXE, *option ? QStringList{option} : QStringList{});
                QVERIFY(p.waitForFinished(60000));
                QCOMPARE(p.exitStatus(), QProcess::NormalExit);
                const QString out = p.readAllStandardOutput(), err = p.readAllStandardError();
                const QString o = option;
                if (!o.isEmpty()) {
                    QCOMPARE(p.exitCode(), 0);
                    QVERIFY(out.startsWith(o == "--version" ? "Vorlin "
                                           : o == "--help"  ? "Usage:"
                                                            : "help: "));
                } else {
                    QCOMPARE(p.exitCode(), 1);
                    QCOMPARE(err.count('\n'), 1);
                    QVERIFY2(err.contains("needs a graphical session"), qPrintable(err));
                    QVERIFY2(err.contains("DISPLAY is not set"), qPrintable(err));
                    QVERIFY2(err.contains(*wayland ? "wayland-nowhere does not answer"
                                                   : "WAYLAND_DISPLAY is not set"),
                             qPrintable(err));
                }
            }
    }

    // A Wayland desktop without an X server: the editor runs on Qt's Wayland platform and its
    // view draws the model (a headless compositor stands in for the desktop).
    void onAWaylandDesktopTheEditorRunsNatively() {
        MakeStore();
        const QString runtime = QString::fromStdString(files_->file("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("XDG_RUNTIME_DIR", runtime);
        QProcess compositor;
        compositor.setProcessEnvironment(env);
        compositor.start("weston", {"--backend=headless-backend.so", "--socket=wayland-vorlin",
                                    "--idle-time=0", "--width=800", "--height=600"});
        QVERIFY2(compositor.waitForStarted(), "weston is missing: run scripts/setup.sh");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime + "/wayland-vorlin"), 30000);
        env.insert("WAYLAND_DISPLAY", "wayland-vorlin");
        // The editor draws with OpenGL here, and the driver is unloaded before a sanitized
        // build's leak check at exit: its memory could not be told from the program's (as for
        // the tests on the display, every other use of memory is still checked).
        env.insert("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=0:halt_on_error=1");
        const QString png = QString::fromStdString(files_->file("wayland.png"));
        QProcess editor;
        editor.setProcessEnvironment(env);
        editor.start(VORLIN_EXE,
                     {"--screenshot", png, "--part", "Pbox", VORLIN_SAMPLE_DIR "/3do/sample.3do",
                      VORLIN_SAMPLE_DIR "/3do/key/walk.key"});
        QVERIFY(editor.waitForFinished(60000));
        compositor.terminate();
        compositor.waitForFinished();
        QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
        QVERIFY2(editor.exitCode() == 0, editor.readAllStandardError().constData());
        const QImage shot = QImage(png).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!shot.isNull());
        int model = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                model += shot.pixel(x, y) != shot.pixel(0, 0);
        QVERIFY2(model > 2000, "the view shows the model");
    }

    void withoutOpenGLTheEditorStillRuns() {
        MakeStore();
        const QString png = QString::fromStdString(files_->file("off.png"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen"); // a display without OpenGL
        p.setProcessEnvironment(env);
        p.start(VORLIN_EXE, {"--screenshot", png, Write("m.3do", kModel)});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QString(p.readAllStandardError()).contains("Couldn't initialize OpenGL"));
        QVERIFY(!QImage(png).isNull()); // the window itself is there
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
