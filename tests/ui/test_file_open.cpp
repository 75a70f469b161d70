// The file-open dialog over containers, driven by its controls.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "dialogs/FileDialogs.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

QStringList Texts(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QListWidgetItem* ItemNamed(QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == text) return list->item(i);
    qFatal("no item %s", qPrintable(text));
}

void Click(QListWidget* list, const QString& text) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(ItemNamed(list, text)).center());
}

void DoubleClick(QListWidget* list, const QString& text) {
    const QPoint at = list->visualItemRect(ItemNamed(list, text)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestFileOpen : public QObject, public UiTestBase {
    Q_OBJECT

    std::string gob_, goo_;

private slots:
    void init() {
        InitBase();
        gob_ = files_->write("res2.gob", BuildGob({{"3do\\key\\walk.key", "w"},
                                                   {"3do\\key\\jump.key", "j"},
                                                   {"3do\\key\\Kyhit.key", "k"},
                                                   {"3do\\ky.3do", "m"},
                                                   {"3do\\b.3do", "b"},
                                                   {"misc\\cmp\\dflt.cmp", "c"}}));
        goo_ = files_->write("jkmres.goo", BuildGob({{"3do\\key\\mots.key", "x"}}));
        Settings.JKGOB = gob_;
        Settings.MOTSGOB = goo_;
    }
    void cleanup() {
        CleanupBase();
        ClearContainerCache();
    }

    void startsInTheKindsFolderWithTheInitialNameChosen() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        WhenModal([](QWidget* d) {
            auto* list = Get<QListWidget>(d, "DirList");
            QCOMPARE(Texts(list), (QStringList{"[..]", "jump.key", "Kyhit.key", "walk.key"}));
            QCOMPARE(list->currentItem()->text(), QString("walk.key"));
            QCOMPARE(Get<QLabel>(d, "PFname")->text(), QString("walk.key"));
            QCOMPARE(Texts(Get<QListWidget>(d, "ResList")),
                     (QStringList{"Jedi Knight", "Mysteries of the Sith"}));
            QCOMPARE(d->focusWidget(), Get<QLineEdit>(d, "EBFilter"));
            Get<QPushButton>(d, "BNOpen")->click();
        });
        QVERIFY(dialog.ExecuteOpen("walk.key"));
        QCOMPARE(dialog.ChosenPath(), QString::fromStdString(gob_ + ">3do\\key\\walk.key"));
        // A name that is not there leaves the first item chosen.
        dialog.SetFileKind("3DO");
        WhenModal([](QWidget* d) {
            QCOMPARE(Get<QListWidget>(d, "DirList")->currentRow(), 0);
            QCOMPARE(Get<QLabel>(d, "PFname")->text(), QString("[..]"));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QVERIFY(!dialog.ExecuteOpen("none.3do"));
    }

    void masksAndFolders() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        WhenModal([](QWidget* d) {
            auto* list = Get<QListWidget>(d, "DirList");
            auto* mask = Get<QLineEdit>(d, "EBFilter");
            QCOMPARE(Get<QLabel>(d, "LBFolder")->text(), QString("Folder: 3do\\key"));
            // Compared in lower case, always sorted; the way up stays.
            QTest::keyClicks(mask, "*.KEY");
            QCOMPARE(Texts(list), (QStringList{"[..]", "jump.key", "Kyhit.key", "walk.key"}));
            mask->setText("k");
            QCOMPARE(Texts(list), (QStringList{"[..]", "Kyhit.key"}));
            mask->setText("zzz");
            QCOMPARE(list->count(), 1);
            Get<QPushButton>(d, "BNOpen")->click(); // nothing to open
            QVERIFY(d->isVisible());
            Get<QPushButton>(d, "BNClear")->click();
            QCOMPARE(mask->text(), QString());
            QCOMPARE(Texts(list), (QStringList{"[..]", "jump.key", "Kyhit.key", "walk.key"}));
            // Up one folder and into another; a folder click changes no name.
            DoubleClick(list, "[..]");
            QCOMPARE(Texts(list), (QStringList{"[..]", "[key]", "b.3do", "ky.3do"}));
            Click(list, "[key]");
            QCOMPARE(Get<QLabel>(d, "PFname")->text(), QString("[..]"));
            Click(list, "ky.3do");
            QCOMPARE(Get<QLabel>(d, "PFname")->text(), QString("ky.3do"));
            Get<QPushButton>(d, "BNOpen")->click();
        });
        QVERIFY(dialog.ExecuteOpen(""));
        QCOMPARE(dialog.ChosenPath(), QString::fromStdString(gob_ + ">3do\\ky.3do"));
        // Up to the top level: a path without a folder.
        dialog.SetFileKind("CMP");
        WhenModal([](QWidget* d) {
            auto* list = Get<QListWidget>(d, "DirList");
            DoubleClick(list, "[..]"); // misc holds only a folder, and is a folder all the same
            QCOMPARE(Texts(list), (QStringList{"[..]", "[cmp]"}));
            QCOMPARE(Get<QLabel>(d, "LBFolder")->text(), QString("Folder: misc"));
            DoubleClick(list, "[..]");
            QCOMPARE(Texts(list), (QStringList{"[3do]", "[misc]"}));
            QCOMPARE(Get<QLabel>(d, "LBFolder")->text(), QString("Folder: (top)"));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QVERIFY(!dialog.ExecuteOpen(""));
    }

    // The highlighted row is the choice, however it was reached: keys in the file list and in
    // the container list.
    void theKeyboardChooses() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        WhenModal([](QWidget* d) {
            auto* list = Get<QListWidget>(d, "DirList");
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Up); // from walk.key, chosen at the start
            QCOMPARE(Get<QLabel>(d, "PFname")->text(), QString("Kyhit.key"));
            QTest::keyClick(list, Qt::Key_Return);
        });
        QVERIFY(dialog.ExecuteOpen("walk.key"));
        QCOMPARE(dialog.ChosenPath(), QString::fromStdString(gob_ + ">3do\\key\\Kyhit.key"));
        WhenModal([](QWidget* d) {
            auto* res = Get<QListWidget>(d, "ResList");
            res->setFocus();
            QTest::keyClick(res, Qt::Key_Down);
            QCOMPARE(Texts(Get<QListWidget>(d, "DirList")), (QStringList{"[..]", "mots.key"}));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QVERIFY(!dialog.ExecuteOpen(""));
    }

    void switchingContainersAndKeepingTheChoice() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        WhenModal([](QWidget* d) {
            auto* res = Get<QListWidget>(d, "ResList");
            QTest::mouseClick(res->viewport(), Qt::LeftButton, {},
                              res->visualItemRect(res->item(1)).center());
            QCOMPARE(Texts(Get<QListWidget>(d, "DirList")), (QStringList{"[..]", "mots.key"}));
            Click(Get<QListWidget>(d, "DirList"), "mots.key");
            Get<QPushButton>(d, "BNOpen")->click();
        });
        QVERIFY(dialog.ExecuteOpen(""));
        QCOMPARE(dialog.ChosenPath(), QString::fromStdString(goo_ + ">3do\\key\\mots.key"));
        WhenModal([](QWidget* d) {
            QCOMPARE(Texts(Get<QListWidget>(d, "DirList")), (QStringList{"[..]", "mots.key"}));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QVERIFY(!dialog.ExecuteOpen(""));
        QCOMPARE(dialog.CurrentContainer(), goo_);
    }

    void gettingAFileFromDisk() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        dialog.SetGetCaption("&Get Other KEY");
        std::vector<FileDialogRequest> asked;
        std::optional<QString> answer;
        SetFileDialogHandler([&](const FileDialogRequest& r) {
            asked.push_back(r);
            return answer;
        });
        const QString disk = Write("loose/walk.key", "x");
        WhenModal([&](QWidget* d) {
            auto* get = Get<QPushButton>(d, "BNGet");
            QCOMPARE(get->text(), QString("&Get Other KEY"));
            get->click(); // cancelled: back to browsing
            QVERIFY(d->isVisible());
            answer = disk;
            get->click();
        });
        QVERIFY(dialog.ExecuteOpen("walk.key"));
        QCOMPARE(dialog.ChosenPath(), disk); // a disk path, though a container was current
        QCOMPARE(asked.size(), size_t(2));
        QCOMPARE(asked[0].filter, QString("KEY animations (*.key)"));
        QCOMPARE(asked[0].caption, QString("Open File"));
    }

    void aFileThatLeftTheContainerIsReported() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        WhenModal([this](QWidget* d) {
            // Someone rewrites the container without walk.key while the dialog is open.
            files_->write("res2.gob", BuildGob({{"3do\\key\\jump.key", "j"}}));
            Get<QPushButton>(d, "BNOpen")->click();
            QVERIFY(d->isVisible());
            QCOMPARE(boxes_.size(), size_t(1));
            QCOMPARE(boxes_[0].text, QString("The file walk.key is not in the container"));
            QCOMPARE(boxes_[0].caption, QString("Error"));
            QCOMPARE(boxes_[0].flags, MB_OK);
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QVERIFY(!dialog.ExecuteOpen("walk.key"));
    }

    void containersThatVanishOrTurnToGarbage() {
        TGetFileOpen dialog;
        dialog.SetFileKind("KEY");
        ConfirmNext("BNCancel");
        QVERIFY(!dialog.ExecuteOpen("")); // opened and cached once
        // Garbage where the container was: reported, and the dialog still works.
        files_->write("res2.gob", std::string(300, 'z'));
        const QString disk = Write("other.key", "x");
        SetFileDialogHandler(
            [&](const FileDialogRequest&) { return std::optional<QString>(disk); });
        WhenModal([](QWidget* d) {
            QCOMPARE(Get<QListWidget>(d, "DirList")->count(), 0);
            Get<QPushButton>(d, "BNGet")->click();
        });
        QVERIFY(dialog.ExecuteOpen(""));
        QCOMPARE(dialog.ChosenPath(), disk);
        QCOMPARE(boxes_.size(), size_t(1));
        QCOMPARE(boxes_[0].text, QString::fromStdString(gob_ + " is not a container"));
        // Gone altogether: the game's entry leaves the list; the expansion can be browsed.
        std::filesystem::remove(gob_);
        WhenModal([](QWidget* d) {
            auto* res = Get<QListWidget>(d, "ResList");
            QCOMPARE(Texts(res), QStringList{"Mysteries of the Sith"});
            QTest::mouseClick(res->viewport(), Qt::LeftButton, {},
                              res->visualItemRect(res->item(0)).center());
            QCOMPARE(Texts(Get<QListWidget>(d, "DirList")), (QStringList{"[..]", "mots.key"}));
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QVERIFY(!dialog.ExecuteOpen(""));
    }
};

QTEST_MAIN(TestFileOpen)
#include "test_file_open.moc"
