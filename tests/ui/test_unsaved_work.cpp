// Nothing lost, nothing overwritten: every path that replaces or closes the document asks the
// one question first, and a save that did not happen keeps the document and its recovery copy;
// names given without a folder are the files of the current folder, and the recent lists hold
// where files really are; a file that is not a KEY is refused, never opened empty and saved
// over.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>

#include "app/autosave.h"
#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "edit/recovery.h"
#include "key/u_key.h"
#include "common/qt_strings.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;
const QString kModel = QString::fromStdString(kSample + "/3do/sample.3do");

// How the save question is met, and what the save it asks for then meets.
enum class TOutcome {
    Cancel,       // Cancel in "Save changes?"
    SaveAsCancel, // Yes, then Escape in the Save As dialog (a document never saved)
    ReplaceNo,    // Yes, then No to replacing the file another program changed
    WriteFails,   // Yes, and the file cannot be written
    Discard,      // No: the document goes without being saved
};

} // namespace

class TestUnsavedWork : public QObject, public UiTestBase {
    Q_OBJECT

    TRecoveryFolder Folder() { return TRecoveryFolder(FromQ(RecoveryFolder())); }

    // Every modal dialog that comes up while body runs is closed and named: a path that asks
    // nothing more must show none.
    QStringList DialogsDuring(const std::function<void()>& body) {
        QStringList titles;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                titles << w->windowTitle();
                w->close();
            }
        });
        probe.start(10);
        body();
        return titles;
    }

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    // Each path that replaces or closes the document, met with each way of not saving: the
    // document stays, changed, its copy kept, and nothing else is asked or opened. Said No to,
    // the same paths let it go.
    void everyPathAsksOnceAndASaveThatDidNotHappenKeepsTheDocument_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("outcome");
        const char* paths[] = {"Open KEY", "Reopen KEY", "New KEY",
                               "Quit",     "Recover",    "Files given"};
        const std::pair<const char*, TOutcome> outcomes[] = {
            {"cancel", TOutcome::Cancel},
            {"save as cancelled", TOutcome::SaveAsCancel},
            {"replace refused", TOutcome::ReplaceNo},
            {"write fails", TOutcome::WriteFails},
            {"discarded", TOutcome::Discard}};
        for (const char* path : paths)
            for (auto [name, outcome] : outcomes)
                QTest::newRow((std::string(path) + ", " + name).c_str())
                    << QString(path) << int(outcome);
    }
    void everyPathAsksOnceAndASaveThatDidNotHappenKeepsTheDocument() {
        QFETCH(QString, path);
        QFETCH(int, outcome);
        const auto meets = TOutcome(outcome);
        const std::string walk = files_->write("walk.key", ReadAll(kSample + "/3do/key/walk.key"));
        const std::string jump = files_->write("jump.key", ReadAll(kSample + "/3do/key/jump.key"));

        TVorlinForm form;
        form.Files().Load3DO(kModel);
        form.Files().LoadKEY(ToQ(jump)); // for Reopen KEY
        if (meets == TOutcome::SaveAsCancel || meets == TOutcome::WriteFails) {
            ConfirmNext("BNOk");
            form.Files().CreateNewKEY(); // a document without a file: Save is Save As
        } else {
            form.Files().LoadKEY(ToQ(walk));
        }
        Get<QAction>(&form, "AddEntry1")->trigger();
        form.Files().Autosave->SaveNow();
        form.Files().Autosave->Wait();
        const TKEYFile* before = form.Document.KeyFile.get();
        const std::string onDisk = ReadAll(walk);
        if (meets == TOutcome::ReplaceNo) {
            QTest::qWait(20); // a time stamp of its own
            files_->write("walk.key", "# theirs\n" + onDisk);
        }
        // Another session's copy, for Recover.
        Folder().Write("session-1-1", TKEYFile::CreateFromFile(jump)->ToText(),
                       "{\"document\": \"" + jump + "\", \"name\": \"jump.key\", \"model\": \"" +
                           FromQ(kModel) + "\"}");

        QStringList questions;
        SetMessageBoxHandler([&](const QString& text, const QString&, unsigned) {
            questions << text;
            if (text.startsWith("Save changes to"))
                return meets == TOutcome::Cancel    ? IDCANCEL
                       : meets == TOutcome::Discard ? IDNO
                                                    : IDYES;
            if (text.contains("Replace it with the version edited here?")) return IDNO;
            return IDOK;
        });
        SetFileDialogHandler([&](const FileDialogRequest&) -> std::optional<QString> {
            if (meets == TOutcome::WriteFails)
                return ToQ(files_->file("no such folder/Untitled.key"));
            return std::nullopt;
        });

        bool closed = false;
        auto run = [&] {
            if (path == "Open KEY") {
                Get<QAction>(&form, "OpenKEY1")->trigger();
            } else if (path == "Reopen KEY") {
                for (QAction* a : Get<QMenu>(&form, "ReopenKEY1")->actions())
                    if (a->text().endsWith("jump.key")) a->trigger();
            } else if (path == "New KEY") {
                Get<QAction>(&form, "NewKEY1")->trigger();
            } else if (path == "Quit") {
                closed = form.close();
            } else {
                form.Files().OpenArguments({ToQ(jump)});
            }
        };
        QStringList dialogs;
        if (path == "Recover") {
            // Its own dialog comes first; the question follows the choice made there.
            WhenModal([](QWidget* dialog) { Get<QPushButton>(dialog, "BNRecover")->click(); });
            form.Files().OfferRecovery();
        } else {
            dialogs = DialogsDuring(run);
        }

        QCOMPARE(std::count_if(questions.begin(), questions.end(),
                               [](const QString& q) { return q.startsWith("Save changes"); }),
                 1);
        const std::vector<std::string> sessions = Folder().Sessions();
        const bool copyKept =
            std::find(sessions.begin(), sessions.end(), form.Files().Autosave->Session()) != sessions.end();
        if (meets == TOutcome::Discard) {
            // Let go: replaced, closed, or (Open KEY, New KEY) the dialog that follows shown.
            if (path == "Open KEY" || path == "New KEY") {
                QCOMPARE(dialogs.size(), qsizetype(1));
            } else {
                QVERIFY(closed || form.Document.KeyFile.get() != before);
                if (path != "Recover") QVERIFY(!copyKept); // (Recover keeps the copy it took)
            }
            return;
        }
        QCOMPARE(dialogs, QStringList{}); // nothing asked or opened after the question
        QVERIFY(!closed);
        QCOMPARE(form.Document.KeyFile.get(), before);
        QVERIFY(form.isWindowModified());
        QVERIFY(copyKept);
        if (meets == TOutcome::WriteFails) // the failure was shown
            QVERIFY(!questions.last().startsWith("Save changes"));
        if (meets == TOutcome::ReplaceNo) QVERIFY(ReadAll(walk).starts_with("# theirs"));
    }

    // A shell user's "vorlin sample.3do walk.key" means the walk.key in the folder they are in,
    // even when the search would find another one first; it is saved back there, and the
    // recent lists and the remembered pair hold it whole.
    void aBareNameIsTheFileInTheCurrentFolder() {
        std::string mine = ReadAll(kSample + "/3do/key/walk.key");
        mine.replace(mine.find("FPS    15"), 9, "FPS    20");
        const std::string walk = files_->write("walk.key", mine);
        const QString was = QDir::currentPath();
        QDir::setCurrent(ToQ(files_->path().string()));
        TVorlinForm form;
        form.Files().OpenArguments({kModel, "walk.key"});
        QDir::setCurrent(was);
        QCOMPARE(form.Document.KeyFile->FPS, 20.0);
        QCOMPARE(form.Document.KeyFile->FullName, walk);
        QCOMPARE(Settings.RECENT_KEY[0], walk);
        QVERIFY(Settings.KEY_MODELS.at(0).starts_with(walk + "\t"));
        Get<QAction>(&form, "AddEntry1")->trigger();
        Get<QAction>(&form, "SaveKEY1")->trigger();
        QVERIFY(ReadAll(walk).find("FPS    20") != std::string::npos);
        QCOMPARE(TKEYFile::CreateFromFile(walk)->Nodes[0].Entries.Count(),
                 TKEYFile::CreateFromFile(kSample + "/3do/key/walk.key")->Nodes[0].Entries.Count() +
                     1);
        // A bare name that is not in the folder is a resource name: found by the search, and
        // remembered where it was found.
        QDir::setCurrent(ToQ(files_->path().string()));
        form.Files().OpenArguments({kModel, "jump.key"});
        QDir::setCurrent(was);
        QCOMPARE(form.Document.KeyFile->FullName, kSample + "/3do/key/jump.key");
        QCOMPARE(Settings.RECENT_KEY[0], kSample + "/3do/key/jump.key");
    }

    // Random bytes, a model, an empty file, another program's text named .key: refused with a
    // message that says so, the document on show untouched, the file never written.
    void aFileThatIsNotAKeyIsRefusedAndNeverOverwritten_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray random(200 * 1024, '\0');
        uint32_t x = 2463534242u;
        for (char& c : random) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            c = char(x);
        }
        QTest::newRow("random bytes") << random;
        QTest::newRow("a model") << QByteArray::fromStdString(ReadAll(kSample + "/3do/sample.3do"));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a PGP key")
            << QByteArray("-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQINBF...\n-----END PGP "
                          "PUBLIC KEY BLOCK-----\n");
    }
    void aFileThatIsNotAKeyIsRefusedAndNeverOverwritten() {
        QFETCH(QByteArray, bytes);
        const std::string foreign = files_->write("foreign.key", bytes.toStdString());
        TVorlinForm form;
        form.Files().Load3DO(kModel);
        form.Files().LoadKEY(ToQ(kSample + "/3do/key/walk.key"));
        const TKEYFile* before = form.Document.KeyFile.get();
        form.RunCommand([&] { form.Files().LoadKEY(ToQ(foreign)); });
        QCOMPARE(form.Document.KeyFile.get(), before);
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), qsizetype(1));
        QVERIFY2(messages[0].startsWith("foreign.key is not a KEY animation"),
                 qPrintable(messages[0]));
        QCOMPARE(ReadAll(foreign), bytes.toStdString());
        QVERIFY(Settings.RECENT_KEY[0] != foreign);
    }
};

QTEST_MAIN(TestUnsavedWork)
#include "test_unsaved_work.moc"
