// The main window's layout across restarts, its status bar and frame label, and how the
// program's windows start and end together.
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "panels/nodes/node_column.h"
#include "app/vorlin_app.h"
#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "dialogs/about_form.h"
#include "panels/curves/curves_panel.h"
#include "panels/timeline/timeline_panel.h"
#include "options/u_options.h"
#include "common/U_msgForm.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

class TestMainWindowLayout : public QObject, public UiTestBase {
    Q_OBJECT

    // One start of the program as far as the layout goes: read the store, show the window,
    // optionally do something, close it, write the store.
    void Round(const std::function<void(TVorlinForm&)>& during = {}) {
        LoadSettings();
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (during) during(form);
        QVERIFY(form.close());
        SaveExitSettings();
    }

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    // In every menu of every window (the menu bars too), no two items share a letter, and the
    // standard shortcuts are there.
    void menuLettersAreUniqueAndShortcutsStandard() {
        TVorlinForm form;
        TMsgForm messages;
        for (QWidget* window : std::initializer_list<QWidget*>{&form, &messages}) {
            QList<QWidget*> menus = window->findChildren<QWidget*>();
            for (QWidget* menu : menus) {
                if (!qobject_cast<QMenu*>(menu) && !qobject_cast<QMenuBar*>(menu)) continue;
                QMap<QChar, QString> letters;
                for (QAction* a : menu->actions()) {
                    const QString text = a->text();
                    const qsizetype amp = text.indexOf(QRegularExpression("&[^&]"));
                    if (a->isSeparator() || amp < 0) continue;
                    const QChar letter = text[amp + 1].toLower();
                    QVERIFY2(!letters.contains(letter),
                             qPrintable(menu->objectName() + ": " + letters[letter] + " and " +
                                        text + " share " + letter));
                    letters[letter] = text;
                }
            }
        }
        const std::pair<const char*, const char*> shortcuts[] = {
            {"SaveKEY1", "Ctrl+S"},       {"SaveAsKEY1", "Ctrl+Shift+S"}, {"OpenKEY1", "Ctrl+O"},
            {"Open3DO1", "Ctrl+Shift+O"}, {"NewKEY1", "Ctrl+N"},          {"Contents1", "F1"},
            {"Undo1", "Ctrl+Z"},          {"CheckKEY1", "Ctrl+K"}};
        for (auto [name, keys] : shortcuts)
            QCOMPARE(Get<QAction>(&form, name)->shortcut(), QKeySequence(keys));
        QCOMPARE(Get<QAction>(&messages, "Close1")->shortcut(), QKeySequence(Qt::Key_Escape));
    }

    // At the default size every text shows whole: the captions (descenders too) and the
    // pose of a node in the status bar, at its longest.
    void textsFitAtTheDefaultSize() {
        TVorlinForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(660, 450));
        form.Files().Load3DO(QString(VORLIN_SAMPLE_DIR) + "/3do/sample.3do");
        form.Files().LoadKEY(QString(VORLIN_SAMPLE_DIR) + "/3do/key/walk.key");
        for (const char* name : {"PL3DO", "PLKEY"}) {
            auto* caption = Get<QLabel>(&form, name);
            QVERIFY(caption->fontMetrics().height() <= caption->contentsRect().height());
        }
        auto* pose = Get<QLabel>(&form, "SBarPanel3");
        auto* tree = Get<QTreeWidget>(&form, "TV3DO");
        tree->setCurrentItem(tree->topLevelItem(5)); // r_upper_arm: long angles at frame 12
        form.Document.SetFrame(12);
        QVERIFY2(pose->fontMetrics().horizontalAdvance(pose->text()) <=
                     pose->contentsRect().width(),
                 qPrintable(pose->text()));
    }

    void theNodePanelComesBackAsSaved() {
        MakeStore();
        for (int i = 0; i < 3; ++i) {
            Round();
            LoadSettings();
            QCOMPARE(Settings.TV3DO_HEIGHT, 162);
            QCOMPARE(Settings.SPLITTER_TOP, 177);
            QCOMPARE(Settings.PLKEY_TOP, 182);
        }
        // A dragged splitter survives the restart, and the window's extra height goes to the
        // entry list.
        Round([](TVorlinForm& form) {
            auto* bar = Get<TSplitterBar>(&form, "Splitter");
            Drag(bar, QPoint(20, 2), {QPoint(20, 32)});
            QCOMPARE(Get<QTreeWidget>(&form, "TV3DO")->height(), 192);
        });
        LoadSettings();
        QCOMPARE(Settings.TV3DO_HEIGHT, 192);
        QCOMPARE(Settings.SPLITTER_TOP, 207);
        QCOMPARE(Settings.PLKEY_TOP, 212);
        Round([](TVorlinForm& form) {
            auto* tree = Get<QTreeWidget>(&form, "TV3DO");
            auto* list = Get<QListWidget>(&form, "LBKEY");
            QCOMPARE(tree->height(), 192);
            QCOMPARE(Get<TSplitterBar>(&form, "Splitter")->y(), 207);
            QCOMPARE(Get<QLabel>(&form, "PLKEY")->y(), 212);
            const int listBefore = list->height();
            form.resize(form.width(), form.height() + 100);
            QTRY_COMPARE(list->height(), listBefore + 100);
            QCOMPARE(tree->height(), 192);
            // Dragged up as far as it goes, a row of the tree stays.
            Drag(Get<TSplitterBar>(&form, "Splitter"), QPoint(20, 2), {QPoint(20, -400)});
            QCOMPARE(tree->height(), TNodeColumn::kMinTreeHeight);
        });
        // So does a height edited by hand to nothing.
        Settings.TV3DO_HEIGHT = -100000;
        SaveExitSettings();
        Round([](TVorlinForm& form) {
            QCOMPARE(Get<QTreeWidget>(&form, "TV3DO")->height(), TNodeColumn::kMinTreeHeight);
        });
    }

    // The timeline (with the curves, in tabs) takes its height from the view only, and comes
    // back hidden or at the height it was left at.
    void theTimelineComesBackAsSaved() {
        MakeStore();
        int listHeight = 0;
        Round([&](TVorlinForm& form) {
            auto* split = Get<QSplitter>(&form, "ViewSplit");
            QCOMPARE(split->sizes().at(1), 110);
            listHeight = Get<QListWidget>(&form, "LBKEY")->height();
            split->setSizes({split->sizes().at(0) - 40, 150});
            QTest::keySequence(&form, QKeySequence("Ctrl+T"));
        });
        LoadSettings();
        QCOMPARE(Settings.TIMELINE_VISIBLE, false);
        QCOMPARE(Settings.TIMELINE_HEIGHT, 150);
        Round([&](TVorlinForm& form) {
            QVERIFY(!form.TimelinePanel()->isVisible());
            QCOMPARE(Get<QListWidget>(&form, "LBKEY")->height(), listHeight);
            Get<QAction>(&form, "Timeline1")->trigger();
            QCOMPARE(Get<QTabWidget>(&form, "ViewTabs")->height(), 150);
            QVERIFY(form.TimelinePanel()->isVisible());
            QTest::keySequence(&form, QKeySequence("Ctrl+G"));
        });
        // The curves were on show last: they come back in the timeline's place.
        Round([&](TVorlinForm& form) {
            QVERIFY(form.CurvesPanel()->isVisible());
            QVERIFY(Get<QAction>(&form, "Curves1")->isChecked());
            QCOMPARE(Get<QTabWidget>(&form, "ViewTabs")->height(), 150);
        });
        // A height stored from a taller window gives way: the view keeps room to be seen.
        Settings.TIMELINE_HEIGHT = 2000;
        SaveExitSettings();
        Round([&](TVorlinForm& form) {
            QCOMPARE(form.size(), QSize(660, 450));
            QVERIFY(Get<QSplitter>(&form, "ViewSplit")->sizes().at(0) >= 120);
            QVERIFY(form.CurvesPanel()->isVisible());
        });
    }

    void theFrameLabelAndStatusPanelsHoldTheirTexts() {
        TVorlinForm form;
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        auto* label = Get<QLabel>(&form, "LBFrame");
        const QFontMetrics fm(label->font());
        answer_ = IDNO; // the document on show differs from the file written over it
        for (const char* frames : {"500", "1500", "100000"}) {
            std::string key = kTwoNodeKey;
            key.replace(key.find("FRAMES 30"), 9, std::string("FRAMES ") + frames);
            form.Files().LoadKEY(Write("long.key", key));
            const QString longest = QString("%1/%1").arg(QString(frames).toInt() - 1);
            QVERIFY(label->width() - 2 * label->frameWidth() >= fm.horizontalAdvance(longest));
        }
        auto panel = [&](int i) {
            return Get<QLabel>(&form, qPrintable(QString("SBarPanel%1").arg(i)));
        };
        QVERIFY(panel(2)->contentsRect().width() >=
                panel(2)->fontMetrics().horizontalAdvance("sample.cmp"));
        QVERIFY(panel(1)->contentsRect().width() >=
                panel(1)->fontMetrics().horizontalAdvance("Entry: 1234"));
        for (int i = 0; i < 4; ++i)
            QVERIFY2(panel(i)->frameShape() != QFrame::NoFrame, "panels are set apart");
    }

    void onlyOKIsTheOptionsDefault() {
        TOptions options;
        int pickers = 0;
        SetFileDialogHandler([&](const FileDialogRequest&) {
            ++pickers;
            return std::optional<QString>();
        });
        WhenModal([](QWidget* dialog) {
            for (const char* name : {"BNJK", "BNMOTS", "BNEdit", "BNCancel"}) {
                auto* b = Get<QPushButton>(dialog, name);
                QVERIFY(!b->isDefault() && !b->autoDefault());
            }
            QVERIFY(Get<QPushButton>(dialog, "BNOK")->isDefault());
            auto* field = Get<QLineEdit>(dialog, "EBNOF");
            field->setFocus();
            field->setText("77");
            QTest::keyClick(field, Qt::Key_Return);
        });
        QVERIFY(options.ShowOptions()); // Enter confirms
        QCOMPARE(pickers, 0);
        QCOMPARE(Settings.DEFAULT_NUMFRAMES, 77);
    }

    void aFirstRunWhoseSettingsCannotBeWrittenGoesOn() {
        // A plain file where the settings folder belongs: nothing can be written.
        QFile blocker(config_->filePath("Brennick"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        LoadSettings();
        QVERIFY(FirstRun);
        WhenModal([](QWidget* dialog) { Get<QPushButton>(dialog, "BNOK")->click(); });
        TVorlinApp app;
        QVERIFY(app.Started());
        QCOMPARE(boxes_.size(), size_t(1));
        QCOMPARE(boxes_[0].text, QString("Failed to set data for 'JKGOB'"));
        QVERIFY(FirstRun); // asked again at the next start
    }

    void closingTheMainWindowEndsTheProgram() {
        MakeStore();
        TVorlinApp app;
        app.Show({});
        QVERIFY(QTest::qWaitForWindowExposed(app.MainForm.get()));
        app.MsgForm->show(); // a missing material brings it up
        QVERIFY(!app.MsgForm->testAttribute(Qt::WA_QuitOnClose));
        QVERIFY(app.MainForm->close());
        QVERIFY(!app.MsgForm->isVisible());
    }

    void theCommandLineStopsAtAModelThatFails() {
        // Without a 3D view the start-up stops at its message, before the command line.
        if (!OpenGLAvailable()) QSKIP("no OpenGL on this display");
        TVorlinForm form;
        form.CommandLine = {QString::fromStdString(files_->file("gone.3do")),
                            Write("walk.key", kTwoNodeKey)};
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_COMPARE(boxes_.size(), size_t(1));
        QCOMPARE(boxes_[0].text, QString::fromStdString("Cannot read " + files_->file("gone.3do") +
                                                        ": there is no such file"));
        QTest::qWait(50);
        QVERIFY(form.Document.KeyFile == nullptr);
        QVERIFY(Settings.RECENT_KEY[0].empty());
    }

    void everyToolbarControlSaysWhatItDoes() {
        TVorlinForm form;
        auto* bar = Get<QToolBar>(&form, "ToolBar1");
        int controls = 0;
        for (QAction* a : bar->actions()) {
            QWidget* w = bar->widgetForAction(a);
            if (!w || a->isSeparator()) continue;
            QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
            ++controls;
        }
        QCOMPARE(controls, 16 + 3 + 2); // the buttons, M R Z, the slider and the label
        // All of them on show at the first size, however long the counter gets ("999/999"):
        // none goes behind the toolbar's overflow button.
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        form.Files().LoadKEY(Write(
            "long.key", QString(kTwoNodeKey).replace("FRAMES 30", "FRAMES 1000").toStdString()));
        form.resize(660, 450);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(Get<QLabel>(&form, "LBFrame")->text(), QString("0/999"));
        for (QAction* a : bar->actions())
            if (QWidget* w = bar->widgetForAction(a); w && !a->isSeparator())
                QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(Get<QLabel>(&form, "STR")->toolTip().contains("orbit"));
        QVERIFY(Get<QToolButton>(&form, "BNPlay")->toolTip().contains("Space"));
    }

    void theTitleNamesTheDocumentsAndMarksChanges() {
        TVorlinForm form;
        QCOMPARE(form.windowTitle(), QString("Vorlin"));
        form.Files().Load3DO(Write("m.3do", kTwoNodeModel));
        QCOMPARE(form.windowTitle(), QString("m.3do - Vorlin"));
        form.Files().LoadKEY(Write("walk.key", kTwoNodeKey));
        QCOMPARE(form.windowTitle(), QString("walk.key[*] - m.3do - Vorlin"));
        QVERIFY(!form.isWindowModified());
        Get<QAction>(&form, "AddEntry1")->trigger();
        QVERIFY(form.isWindowModified());
        Get<QAction>(&form, "SaveKEY1")->trigger();
        QVERIFY(!form.isWindowModified());
        ConfirmNext("BNOk");
        Get<QAction>(&form, "NewKEY1")->trigger();
        QCOMPARE(form.windowTitle(), QString("Untitled.key[*] - m.3do - Vorlin"));
        QVERIFY(form.isWindowModified()); // never saved
    }

    void helpSaysWhereThePageIsWhenNoBrowserStarts() {
        TVorlinForm form;
        QString opened;
        bool started = false;
        SetUrlHandler([&](const QString& url) {
            opened = url;
            return started;
        });
        Get<QAction>(&form, "Contents1")->trigger();
        QVERIFY(opened.endsWith("/vorlin_help.html"));
        QVERIFY(QFileInfo::exists(opened));
        QCOMPARE(boxes_.size(), size_t(1));
        QVERIFY(boxes_[0].text.contains(opened));
        started = true;
        boxes_.clear();
        Get<QAction>(&form, "Contents1")->trigger();
        QVERIFY(boxes_.empty());
        SetUrlHandler({});
    }

    void theFirstRunOffersTheSample() {
        LoadSettings();
        QVERIFY(FirstRun);
        QString offered;
        WhenModal([&](QWidget* dialog) {
            offered = Get<QLineEdit>(dialog, "EBJKGOB")->text();
            Get<QPushButton>(dialog, "BNOK")->click();
        });
        TVorlinApp app;
        QVERIFY(app.Started());
        QVERIFY(offered.endsWith("/sample.gob"));
        QVERIFY(QFileInfo::exists(offered));
        QCOMPARE(QString::fromStdString(Settings.JKGOB), offered);
        QVERIFY(!ApplicationIcon().isNull());
        QVERIFY(!Get<QLabel>(app.About.get(), "IMVORLIN")->pixmap().isNull());
    }
};

QTEST_MAIN(TestMainWindowLayout)
#include "test_mainwindow_layout.moc"
