#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "dialogs/about_form.h"
#include "dialogs/progress_form.h"

using namespace vorlin;

class TestAboutProgress : public QObject {
    Q_OBJECT
private slots:
    void aboutBoxLooksAsItShould() {
        TAboutForm about;
        QCOMPARE(about.windowTitle(), QString("About Vorlin"));
        QCOMPARE(about.findChild<QLabel*>("NameLabel")->text(), QString("VORLIN"));
        QCOMPARE(about.findChild<QLabel*>("VersionLabel")->text(), QString("Version 0.6"));
        QVERIFY(!about.findChild<QLabel*>("IMVORLIN")->pixmap().isNull());
        QVERIFY(about.findChild<QLabel*>("Credits")->text().contains("A keyframe editor for"));
        QCOMPARE(about.findChild<QPushButton*>("AboutOKButton")->text(), QString("&OK"));
        QCOMPARE(about.Timer()->interval(), 50);
        QVERIFY(!about.Timer()->isActive());
    }

    void creditsRollAndStartOverFromTheTop() {
        TAboutForm about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(about.Timer()->isActive());
        // The timer may have rolled them already while the window came up.
        const int start = about.ScrollCounter();
        for (int i = 0; i < 100; ++i)
            about.Roll();
        QCOMPARE(about.ScrollCounter(), start + 100);
        about.findChild<QPushButton*>("AboutOKButton")->click();
        QVERIFY(!about.isVisible());
        QVERIFY(!about.Timer()->isActive());
        QCOMPARE(about.ScrollCounter(), 0);
        about.show();
        QCOMPARE(about.ScrollCounter(), 0);
        for (int i = 0; i < TAboutForm::kRollLength - 1; ++i)
            about.Roll();
        QCOMPARE(about.ScrollCounter(), TAboutForm::kRollLength - 1);
        about.Roll();
        QCOMPARE(about.ScrollCounter(), 0);     // 870 pixels, then over again
        QTRY_VERIFY(about.ScrollCounter() > 0); // the timer rolls it by itself
        about.hide();
    }

    void progressWindow() {
        TProgressForm progress;
        QCOMPARE(progress.windowTitle(), QString("3DO Loading Progress"));
        QCOMPARE(progress.Bar()->width(), 400);
        QCOMPARE(progress.Bar()->maximum(), 100);
        progress.Start(3);
        QVERIFY(progress.isVisible());
        progress.StepIt();
        progress.StepIt();
        QCOMPARE(progress.Bar()->value(), 2);
        QCOMPARE(progress.Bar()->maximum(), 3);
        progress.Finish();
        QVERIFY(!progress.isVisible());
        // No materials: shown and closed at once, the bar empty.
        progress.Start(0);
        QCOMPARE(progress.Bar()->value(), 0);
        progress.Finish();
        QVERIFY(!progress.isVisible());
    }
};

QTEST_MAIN(TestAboutProgress)
#include "test_about_progress.moc"
