// Whole tasks a modder does, from the menus to the saved file, on the bundled sample.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include "app/vorlinform.h"
#include "key/u_key.h"
#include "support/FileOperations.h"
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

    void openFromTheGameContainerRetimeSaveAndReload() {
        Settings.JKGOB = kSampleGob;
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto menu = [&](const char* name) { Get<QAction>(&form, name)->trigger(); };

        WhenModal([](QWidget* d) { PickInDialog(d, "sample.3do"); });
        menu("Open3DO1");
        QVERIFY(form.Session.Model != nullptr);
        QCOMPARE(form.Session.Model->FileName,
                 TKeySession::AbsolutePath(kSampleGob) + ">3do\\sample.3do");
        QCOMPARE(Get<QLabel>(&form, "PL3DO")->text(), QString("3DO: sample.3do"));

        WhenModal([](QWidget* d) { PickInDialog(d, "walk.key"); });
        menu("OpenKEY1");
        QVERIFY(form.Session.KeyFile != nullptr);
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
        const TKEYFile& doc = *form.Session.KeyFile;
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
        QCOMPARE(form.Session.KeyFile->FullName, saved);
        QCOMPARE(form.Session.KeyFile->Nodes[0].Entries[1].Frame, 5);
        QVERIFY(!form.Session.KeyFile->IsModified());
    }
};

QTEST_MAIN(TestWorkflows)
#include "test_workflows.moc"
