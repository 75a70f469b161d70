// File > Export glTF and File > Import Motion in the editor, on the sample: the file chosen is
// written (Cancel writes nothing); an import shows both skeletons in its dialog, takes the
// mapping as it is left there and opens a new, unsaved document; a bad file is one message.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTableWidget>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "app/vorlinform.h"
#include "panels/transport/transport_panel.h"
#include "panels/view/view_panel.h"
#include "interop_helpers.h"
#include "model/u_3dos.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

class TestInteropTools : public QObject, public UiTestBase {
    Q_OBJECT

    std::unique_ptr<TVorlinForm> form_;

    TVorlinForm& F() { return *form_; }
    void Open() {
        form_ = std::make_unique<TVorlinForm>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->Files().Load3DO(VORLIN_SAMPLE_DIR "/3do/sample.3do");
        form_->Files().LoadKEY(VORLIN_SAMPLE_DIR "/3do/key/walk.key");
    }
    void Answer(const std::optional<QString>& path, QString* caption = nullptr) {
        SetFileDialogHandler([path, caption](const FileDialogRequest& r) {
            if (caption) *caption = r.caption;
            return path;
        });
    }
    void Menu(const char* name) { Get<QAction>(form_.get(), name)->trigger(); }

private slots:
    void init() { InitBase(); }
    void cleanup() {
        form_.reset();
        CleanupBase();
    }

    void exportWritesTheFileChosen() {
        SETUP(Open());
        const QString out = QString::fromStdString(files_->file("walk.glb"));
        Answer(std::nullopt);
        Menu("ExportGltf1");
        QVERIFY(!QFile::exists(out));
        QString caption;
        Answer(out, &caption);
        Menu("ExportGltf1");
        QCOMPARE(caption, "Export glTF");
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(4), QByteArray("glTF"));
        QVERIFY(TakeMessages().isEmpty());
        QVERIFY(!F().isWindowModified());
    }

    void importOpensANewUnsavedDocument() {
        SETUP(Open());
        const std::vector<TBvhBone> bones = TestSkeleton();
        std::vector<std::vector<double>> frames;
        for (int f = 0; f < 10; ++f) {
            std::vector<double> v(size_t(ChannelCount(bones)), 0.0);
            v[1] = 17;
            v[6] = 3.0 * f; // the spine bends
            frames.push_back(v);
        }
        const QString bvh = Write("bend.bvh", BvhText(bones, frames, 1 / 30.0));
        Answer(bvh);
        // Cancel: the walk stays.
        ConfirmNext("BNCancel");
        Menu("ImportMotion1");
        QCOMPARE(F().Document.KeyFile->Name, "walk.key");

        WhenModal([](QWidget* d) {
            auto* table = Get<QTableWidget>(d, "LVMapping");
            QCOMPARE(table->rowCount(), 11);
            QCOMPARE(table->item(2, 0)->text(), "HEAD");
            auto* head = Get<QComboBox>(d, "CBBone2");
            QCOMPARE(head->currentText(), "Head");
            QCOMPARE(Get<QLabel>(d, "LBUnmapped")->text(), "Every node has a bone.");
            QVERIFY(Get<QLabel>(d, "LBUnused")->text().contains("LeftHand"));
            head->setCurrentIndex(0); // the head keeps its rest pose
            QCOMPARE(Get<QLabel>(d, "LBUnmapped")->text(), "At rest (no bone): HEAD");
            Get<QComboBox>(d, "CBRoot")->setCurrentIndex(2);
            Get<QAbstractButton>(d, "BNOK")->click();
        });
        Menu("ImportMotion1");
        const TKEYFile& key = *F().Document.KeyFile;
        QCOMPARE(key.Name, "Motion.key");
        QVERIFY(key.FullName.empty());
        QCOMPARE(key.Frames, 10);
        QCOMPARE(key.Nodes.Count(), 11);
        QVERIFY(F().isWindowModified());
        QCOMPARE(int(F().Document.History().Count()), 0);
        // The head at rest, the torso bending.
        QCOMPARE(key.Nodes[2].Entries.Count(), 2);
        QCOMPARE(key.Nodes[2].Entries[1].Pitch, 0.0);
        QVERIFY(key.Nodes[1].Entries.Count() >= 2);
        QVERIFY(TakeMessages().isEmpty());

        // A file that is no motion: one message, the document as it was.
        Answer(Write("words.bvh", "not a capture\n"));
        Menu("ImportMotion1");
        const QStringList messages = TakeMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains("is not a motion file that can be read"));
        QCOMPARE(F().Document.KeyFile->Name, "Motion.key");
    }

    // Another character's KEY: its model is asked for next, and the walk comes onto the figure
    // with its header and markers, unsaved.
    void importAnotherCharactersKey() {
        SETUP(Open());
        QStringList captions;
        const QStringList answers = {VORLIN_SAMPLE_DIR "/3do/key/walk.key",
                                     VORLIN_SAMPLE_DIR "/3do/sample.3do"};
        SetFileDialogHandler([&](const FileDialogRequest& r) -> std::optional<QString> {
            captions << r.caption;
            return answers.value(int(captions.size()) - 1);
        });
        WhenModal([](QWidget* d) {
            QCOMPARE(Get<QComboBox>(d, "CBAnimation")->currentText(), "walk.key");
            QCOMPARE(Get<QLabel>(d, "LBUnused")->text(), "Every bone is used.");
            Get<QAbstractButton>(d, "BNOK")->click();
        });
        Menu("ImportMotion1");
        QCOMPARE(captions, QStringList({"Import Motion", "The Model walk.key Plays On"}));
        const TKEYFile& key = *F().Document.KeyFile;
        QVERIFY(key.FullName.empty());
        QCOMPARE(key.Flags, 3u);
        QCOMPARE(key.Markers.Count(), 2);
        QVERIFY(F().isWindowModified());
    }
};

QTEST_MAIN(TestInteropTools)
#include "test_interop_tools.moc"
