// Whole tasks a modder does, from the menus to the saved file, on the bundled sample.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "key/u_key.h"
#include "support/FileOperations.h"
#include "common/qt_strings.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const std::string kSampleGob = std::string(VORLIN_SAMPLE_DIR) + "/sample.gob";

// Picks a file in the file-open dialog with the mouse: a double-click on its name.
void PickInDialog(QWidget* dialog, const QString& name) {
    auto* list = dialog->findChild<QListWidget*>("DirList");
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == name) {
            const QPoint at = list->visualItemRect(list->item(i)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            return;
        }
    QFAIL(qPrintable("no " + name + " in the dialog"));
}

} // namespace

class TestWorkflows : public QObject, public UiTestBase {
    Q_OBJECT

private slots:
    void init() { InitBase(); }
    void cleanup() {
        CleanupBase();
        ClearContainerCache();
    }

    // A file double-clicked on the desktop (vorlin FILE) or several on the command line, each
    // taken for what it is. A KEY alone opens with the model it was last used with, else with
    // the one its nodes bind to by name, else one the user picks; the status bar says which.
    void filesFromTheDesktopAreTakenForWhatTheyAre() {
        const std::string sample = VORLIN_SAMPLE_DIR;
        const QString key = Write("game/3do/key/walk.key", ReadAll(sample + "/3do/key/walk.key"));
        const QString model = Write("game/3do/sample.3do", ReadAll(sample + "/3do/sample.3do"));
        const QString mine = Write("mine/mine.3do", ReadAll(sample + "/3do/sample.3do"));
        const QString lone = Write("elsewhere/walk.key", ReadAll(sample + "/3do/key/walk.key"));
        const QString keyAs3do = Write("walk.3do", ReadAll(sample + "/3do/key/walk.key"));
        const QString gone = ToQ(files_->file("gone/run.key"));
        const struct {
            QStringList args;
            QString model; // the model loaded, empty for none
            QString said;  // in the status bar
            int pick;      // 1: the user is asked for the model and cancels
        } cases[] = {
            {{key},
             model,
             "walk.key opened with sample.3do: its node names match 11 of the KEY's 11",
             0},
            {{key, model}, model, "", 0},
            {{key, mine}, mine, "", 0}, // any order; remembered from now on
            {{key}, mine, "walk.key opened with mine.3do: the model it was last used with", 0},
            {{lone}, "", "walk.key was not opened: a KEY is shown on a model", 1},
            {{keyAs3do}, "", "", 0}, // refused with an error, not shown as an empty model
            {{gone}, "", "", 0},     // said at once, no model asked for a file not there
            {{keyAs3do, lone}, "", "walk.key was not opened: its model could not be read", 0},
        };
        QStringList errors;
        for (const auto& c : cases) {
            const QString what = c.args.join(' ');
            TVorlinForm form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            bool asked = false;
            if (c.pick)
                WhenModal([&](QWidget* d) {
                    asked = d->objectName() == "GetFileOpen";
                    Get<QPushButton>(d, "BNCancel")->click();
                });
            try { // as the program runs it: one command, whose error is shown
                form.Files().OpenArguments(c.args);
            } catch (const std::exception& e) {
                errors << e.what();
            }
            QCOMPARE(asked, bool(c.pick));
            QCOMPARE(form.Document.Model ? ToQ(form.Document.Model->FileName) : QString(), c.model);
            QCOMPARE(form.Document.KeyFile != nullptr, !c.model.isEmpty());
            if (form.Document.KeyFile) QCOMPARE(form.Document.KeyFile->Nodes.Count(), 11);
            QVERIFY2(c.said.isEmpty() || form.statusBar()->currentMessage().startsWith(c.said),
                     qPrintable(what));
        }
        QCOMPARE(errors.size(), 3);
        QVERIFY(errors[0].startsWith("walk.3do is not a 3DO model"));
        QCOMPARE(errors[1], "Cannot read " + gone + ": there is no such file");
        QVERIFY(errors[2].startsWith("walk.3do is not a 3DO model"));
    }

    void openFromTheGameContainerRetimeSaveAndReload() {
        Settings.JKGOB = kSampleGob;
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto menu = [&](const char* name) { Get<QAction>(&form, name)->trigger(); };

        WhenModal([](QWidget* d) { PickInDialog(d, "sample.3do"); });
        menu("Open3DO1");
        QVERIFY(form.Document.Model != nullptr);
        QCOMPARE(form.Document.Model->FileName,
                 TKeyDocument::AbsolutePath(kSampleGob) + ">3do\\sample.3do");
        QCOMPARE(Get<QLabel>(&form, "PL3DO")->text(), QString("3DO: sample.3do"));

        WhenModal([](QWidget* d) { PickInDialog(d, "walk.key"); });
        menu("OpenKEY1");
        QVERIFY(form.Document.KeyFile != nullptr);
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: walk.key"));

        WhenModal([](QWidget* d) {
            // "dflt.cmp", the name on show, is not there: the first item is chosen.
            QCOMPARE(d->findChild<QListWidget*>("DirList")->currentRow(), 0);
            PickInDialog(d, "sample.cmp");
        });
        menu("SetCMP1");
        QCOMPARE(form.PanelText(2), QString("sample.cmp"));

        // A new KEY, re-timed at a gap of 5 from the first entry on.
        answer_ = IDNO; // walk.key is unchanged; nothing to save
        WhenModal([](QWidget* d) {
            Get<QTableWidget>(d, "SGFrame")->setCurrentCell(0, 0);
            Get<QLineEdit>(d, "EBGap")->setText("5");
            Get<QPushButton>(d, "BNKeyGap")->click();
            Get<QPushButton>(d, "BNOk")->click();
        });
        menu("NewKEY1");
        const TKEYFile& doc = *form.Document.KeyFile;
        QCOMPARE(doc.Name, std::string("Untitled.key"));
        QCOMPARE(doc.Nodes[0].Entries[1].Frame, 5);

        const std::string saved = files_->file("mine.key");
        SetFileDialogHandler([&](const FileDialogRequest& r) {
            return std::optional<QString>(
                r.kind == FileDialogRequest::Save ? QString::fromStdString(saved) : QString());
        });
        menu("SaveKEY1"); // a new document goes through Save As
        QCOMPARE(Get<QLabel>(&form, "PLKEY")->text(), QString("KEY: mine.key"));
        const std::string text = ReadAll(saved);
        QVERIFY(text.rfind("# KEYFRAME mine.key created by Vorlin 0.6", 0) == 0);

        // Reloaded from disk through the dialog's "Get Other KEY".
        SetFileDialogHandler([&](const FileDialogRequest&) {
            return std::optional<QString>(QString::fromStdString(saved));
        });
        WhenModal([](QWidget* d) { Get<QPushButton>(d, "BNGet")->click(); });
        boxes_.clear();
        menu("OpenKEY1");
        QVERIFY(boxes_.empty()); // saved: no question
        QCOMPARE(form.Document.KeyFile->FullName, saved);
        QCOMPARE(form.Document.KeyFile->Nodes[0].Entries[1].Frame, 5);
        QVERIFY(!form.Document.KeyFile->IsModified());
    }

    void editEntriesAndMarkersSaveAndReload() {
        const std::string sample = std::string(VORLIN_SAMPLE_DIR);
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Files().Load3DO(QString::fromStdString(sample + "/3do/sample.3do"));
        const std::string copy = files_->file("walk.key");
        files_->write("walk.key", ReadAll(sample + "/3do/key/walk.key"));
        form.Files().LoadKEY(QString::fromStdString(copy));
        auto menu = [&](const char* name) { Get<QAction>(&form, name)->trigger(); };
        auto* tree = Get<QTreeWidget>(&form, "TV3DO");
        auto* list = Get<QListWidget>(&form, "LBKEY");
        auto click = [](QAbstractItemView* view, const QModelIndex& index) {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(index).center());
        };
        // The torso, its second entry, changed in the entry dialog.
        click(tree, tree->model()->index(1, 0));
        QCOMPARE(form.PanelText(0), QString("torso"));
        click(list, list->model()->index(1, 0));
        WhenModal([](QWidget* d) {
            Get<QLineEdit>(d, "EVPCH")->setText("12.5");
            Get<QPushButton>(d, "BNOK")->click();
        });
        menu("CurrentEntry1");
        // Copied to the next entry, an entry added and the first deleted.
        menu("CopyEntry1");
        click(list, list->model()->index(2, 0));
        menu("PasteEntry1");
        menu("AddEntry1");
        click(list, list->model()->index(0, 0));
        menu("DeleteEntry1");
        // A saber key's markers.
        WhenModal([](QWidget* d) {
            Get<QPushButton>(d, "BNSingle")->click();
            Get<QPushButton>(d, "BNOk")->click();
        });
        menu("Markers1");
        const std::unique_ptr<TKEYFile> edited = form.Document.KeyFile->Clone();
        QCOMPARE(edited->Nodes[1].Entries[0].Pitch, 12.5);
        QCOMPARE(edited->Nodes[1].Entries[1].Pitch, 12.5);
        menu("SaveKEY1");
        QVERIFY(!form.Document.KeyFile->IsModified());
        // Loaded again: the same values.
        answer_ = IDNO;
        form.Files().LoadKEY(QString::fromStdString(copy));
        const TKEYFile& back = *form.Document.KeyFile;
        QCOMPARE(back.Markers.Count(), 2);
        QCOMPARE(back.Markers[0].MarkerType, 4);
        QCOMPARE(back.Nodes.Count(), edited->Nodes.Count());
        for (int n = 0; n < back.Nodes.Count(); ++n) {
            QCOMPARE(back.Nodes[n].Entries.Count(), edited->Nodes[n].Entries.Count());
            for (int i = 0; i < back.Nodes[n].Entries.Count(); ++i) {
                const TKEYEntry& a = back.Nodes[n].Entries[i];
                const TKEYEntry& b = edited->Nodes[n].Entries[i];
                QCOMPARE(a.Frame, b.Frame);
                QCOMPARE(a.Pitch, b.Pitch);
                QVERIFY(std::abs(a.DPitch - b.DPitch) < 1e-8); // rates are written to 8 places
            }
        }
        QVERIFY(boxes_.empty());
    }
};

QTEST_MAIN(TestWorkflows)
#include "test_workflows.moc"
