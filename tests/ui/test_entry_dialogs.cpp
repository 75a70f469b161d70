// The entry edit dialog and the markers editor, driven by their controls.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include "dialogs/entry_form.h"
#include "dialogs/markers_form.h"
#include "key/u_key.h"
#include "ui_helpers.h"

using namespace vorlin;
using namespace vorlin::test;

namespace {

const char* kFieldNames[12] = {"EVX", "EVY", "EVZ", "EVPCH", "EVYAW", "EVROL",
                               "EDX", "EDY", "EDZ", "EDPCH", "EDYAW", "EDROL"};

} // namespace

class TestEntryDialogs : public QObject, public UiTestBase {
    Q_OBJECT

private slots:
    void init() { InitBase(); }
    void cleanup() { CleanupBase(); }

    void entryFieldsShowAndStoreTheTwelveValues() {
        auto entry = std::make_shared<TKEYEntry>();
        entry->X = 0.1;
        entry->Yaw = 1.0 / 3;
        entry->DRoll = -2.5e-7;
        entry->Frame = 12;
        entry->Flags = 3;
        TEntryForm form;
        form.ShowEntry(entry);
        QCOMPARE(form.windowTitle(), QString("KEY Entry Edit Box"));
        QCOMPARE(Get<QLineEdit>(&form, "EVX")->text(), QString("0.1"));
        QCOMPARE(Get<QLineEdit>(&form, "EVYAW")->text(), QString("0.333333333333333"));
        QCOMPARE(Get<QLineEdit>(&form, "EDROL")->text(), QString("-2.5e-07"));
        QCOMPARE(form.EditedEntry(), entry);
        // OK without typing stores what was shown, to 15 significant digits.
        WhenModal([](QWidget* d) {
            QCOMPARE(d->focusWidget(), Get<QPushButton>(d, "BNCancel"));
            Get<QPushButton>(d, "BNOK")->click();
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QCOMPARE(entry->Yaw, 0.333333333333333);
        QCOMPARE(entry->X, 0.1);
        QCOMPARE(entry->Frame, 12); // frame and flags are not edited here
        QCOMPARE(entry->Flags, 3);
        // Typed values, an empty field as 0.
        form.ShowEntry(entry);
        WhenModal([](QWidget* d) {
            Get<QLineEdit>(d, "EVZ")->setText("-4.25");
            Get<QLineEdit>(d, "EDPCH")->setText("");
            Get<QPushButton>(d, "BNOK")->click();
        });
        form.exec();
        QCOMPARE(entry->Z, -4.25);
        QCOMPARE(entry->DPitch, 0.0);
        // Enter presses the focused button: Cancel where the dialog starts, OK from a field.
        form.ShowEntry(entry);
        WhenModal([](QWidget* d) {
            Get<QLineEdit>(d, "EVZ")->setText("7");
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
        QCOMPARE(entry->Z, -4.25);
        form.ShowEntry(entry);
        WhenModal([](QWidget* d) {
            auto* z = Get<QLineEdit>(d, "EVZ");
            z->setText("7");
            VERIFY_ACTIVE(d);
            z->setFocus();
            QTest::keyClick(z, Qt::Key_Return);
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QCOMPARE(entry->Z, 7.0);
    }

    void eachFieldIsCheckedInOrderAndARefusalChangesNothing() {
        const char* messages[12] = {
            "X Value is not a real number",          "Y Value is not a real number",
            "Z Value is not a real number",          "Pitch Value is not a real number",
            "Yaw Value is not a real number",        "Roll Value is not a real number",
            "X differential is not a real number",   "Y differential is not a real number",
            "Z differential is not a real number",   "Pitch differential is not a real number",
            "Yaw differential is not a real number", "Roll differential is not a real number"};
        for (int i = 0; i < 12; ++i) {
            auto entry = std::make_shared<TKEYEntry>();
            TEntryForm form;
            form.ShowEntry(entry);
            form.show();
            Get<QLineEdit>(&form, "EVX")->setText("5");            // an earlier good field
            Get<QLineEdit>(&form, kFieldNames[i])->setText("1,5"); // a decimal comma
            Get<QPushButton>(&form, "BNOK")->click();
            QCOMPARE(TakeMessages(), QStringList{messages[i]});
            QCOMPARE(boxes_.size(), size_t(0));
            QVERIFY(form.isVisible());
            QCOMPARE(form.focusWidget(), Get<QLineEdit>(&form, kFieldNames[i]));
            QCOMPARE(entry->X, 0.0); // nothing stored until every field is a number
        }
        auto entry = std::make_shared<TKEYEntry>();
        TEntryForm form;
        form.ShowEntry(entry);
        WhenModal([](QWidget* d) {
            Get<QLineEdit>(d, "EVX")->setText("8");
            Get<QPushButton>(d, "BNCancel")->click();
        });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
        QCOMPARE(entry->X, 0.0);
    }

    void markersWithoutAnyThenNew() {
        TKEYMarkers none;
        TMarkersForm form;
        form.ShowMarkers(none, 30, 12);
        form.show();
        auto* grid = Get<QTableWidget>(&form, "MarkersGrid");
        QCOMPARE(form.windowTitle(), QString("Edit Markers"));
        QCOMPARE(grid->rowCount(), 1);
        QVERIFY(!grid->item(0, 0));
        QVERIFY(Get<QComboBox>(&form, "CBType")->isHidden());
        QVERIFY(Get<QLineEdit>(&form, "EBValue")->isHidden());
        Get<QPushButton>(&form, "BNDeleteMarker")->click(); // nothing to delete
        Get<QPushButton>(&form, "BNNewMarker")->click();
        QCOMPARE(grid->item(0, 0)->text(), QString("Left walk"));
        QCOMPARE(grid->item(0, 1)->text(), QString("Frame = 0"));
        QVERIFY(!Get<QScrollBar>(&form, "FrameScroll")->isHidden());
        QCOMPARE(Get<QScrollBar>(&form, "FrameScroll")->maximum(), 29);
        // Set: the frame on show in the main window.
        Get<QPushButton>(&form, "BNSet")->click();
        QCOMPARE(grid->item(0, 1)->text(), QString("Frame = 12"));
        Get<QScrollBar>(&form, "FrameScroll")->setValue(20);
        QCOMPARE(grid->item(0, 1)->text(), QString("Frame = 20"));
        QCOMPARE(form.EditedMarkers()[0].Frame, 20.0);
    }

    void typesSwapTheEditor() {
        TKEYMarkers markers;
        markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{7.5, 1}));
        markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{2.25, 20}));
        TMarkersForm form;
        form.ShowMarkers(markers, 30, 0);
        form.show();
        auto* grid = Get<QTableWidget>(&form, "MarkersGrid");
        auto* type = Get<QComboBox>(&form, "CBType");
        QCOMPARE(grid->item(0, 1)->text(), QString("Frame = 7.5"));
        QCOMPARE(Get<QScrollBar>(&form, "FrameScroll")->value(), 7);
        // Left walk becomes Activate saber: its number is reset and it holds a value.
        type->setCurrentIndex(3);
        emit type->activated(3);
        QCOMPARE(grid->item(0, 0)->text(), QString("Activate saber"));
        QCOMPARE(grid->item(0, 1)->text(), QString("Value = 0"));
        QVERIFY(Get<QScrollBar>(&form, "FrameScroll")->isHidden());
        QVERIFY(!Get<QLineEdit>(&form, "EBValue")->isHidden());
        // A type read from a file that the list does not have.
        grid->setCurrentCell(1, 0);
        QCOMPARE(grid->item(1, 0)->text(), QString("Unknown (20)"));
        QCOMPARE(grid->item(1, 1)->text(), QString("Value = 2.25"));
        QCOMPARE(type->currentIndex(), -1);
        // Every leave of the value field checks it, and so does every OK.
        VERIFY_ACTIVE(&form);
        auto* value = Get<QLineEdit>(&form, "EBValue");
        value->setFocus();
        value->setText("abc");
        grid->setFocus();
        QCOMPARE(TakeMessages(), QStringList{"Marker value is not a real number"});
        QVERIFY(value->hasFocus());
        for (int twice = 0; twice < 2; ++twice) {
            Get<QPushButton>(&form, "BNOk")->click();
            QCOMPARE(TakeMessages(), QStringList{"Marker value is not a real number"});
            QVERIFY(form.isVisible());
        }
        QCOMPARE(form.EditedMarkers()[1].Frame, 2.25);
        value->setText("-1.5");
        QTest::keyClick(value, Qt::Key_Return);
        QCOMPARE(grid->item(1, 1)->text(), QString("Value = -1.5"));
        QVERIFY(form.isVisible());
        // The document's own markers are untouched: the dialog works on copies.
        QCOMPARE(markers[0].MarkerType, 1);
        QCOMPARE(markers[0].Frame, 7.5);
    }

    void listCommandsAndSaberKeys() {
        TKEYMarkers markers;
        markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{3, 1}));
        markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{9, 2}));
        TMarkersForm form;
        form.ShowMarkers(markers, 30, 0);
        form.show();
        auto* grid = Get<QTableWidget>(&form, "MarkersGrid");
        auto names = [&] {
            QStringList out;
            for (const auto& m : form.EditedMarkers())
                out << QString("%1@%2").arg(m->MarkerType).arg(m->Frame);
            return out;
        };
        grid->setCurrentCell(1, 0);
        Get<QPushButton>(&form, "BNInsertMarker")->click(); // a copy before the selected one
        QCOMPARE(names(), (QStringList{"1@3", "2@9", "2@9"}));
        grid->setCurrentCell(0, 0);
        Get<QPushButton>(&form, "BNNewMarker")->click(); // a copy at the end
        QCOMPARE(names(), (QStringList{"1@3", "2@9", "2@9", "1@3"}));
        QCOMPARE(grid->currentRow(), 0); // the selection stays
        Get<QPushButton>(&form, "BNDeleteMarker")->click();
        QCOMPARE(names(), (QStringList{"2@9", "2@9", "1@3"}));
        Get<QPushButton>(&form, "BNDouble")->click();
        QCOMPARE(names(), (QStringList{"4@0", "5@0", "14@0", "4@0", "5@0"}));
        QCOMPARE(grid->item(2, 0)->text(), QString("Unknown (14)"));
        Get<QPushButton>(&form, "BNSingle")->click();
        QCOMPARE(names(), (QStringList{"4@0", "5@0"}));
        QCOMPARE(grid->item(1, 0)->text(), QString("Deactivate saber"));
    }

    void framesOutsideTheAnimationAreShownWhereTheyAre() {
        TKEYMarkers markers;
        markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{45, 8}));
        markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{-3, 9}));
        TMarkersForm form;
        form.ShowMarkers(markers, 30, 0);
        form.show();
        auto* scroll = Get<QScrollBar>(&form, "FrameScroll");
        QCOMPARE(scroll->value(), 45);
        QCOMPARE(Get<QTableWidget>(&form, "MarkersGrid")->item(0, 1)->text(),
                 QString("Frame = 45"));
        QCOMPARE(form.EditedMarkers()[0].Frame, 45.0); // showing it changed nothing
        Get<QTableWidget>(&form, "MarkersGrid")->setCurrentCell(1, 0);
        QCOMPARE(scroll->value(), -3);
        QCOMPARE(form.EditedMarkers()[1].Frame, -3.0);
    }
};

QTEST_MAIN(TestEntryDialogs)
#include "test_entry_dialogs.moc"
