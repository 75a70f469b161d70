// The message log window and the sink that routes the core's messages to it.
#include <QAction>
#include <QPlainTextEdit>
#include <QtTest>

#include "common/DialogSeams.h"
#include "common/U_msgForm.h"

using namespace vorlin;

class TestMsgForm : public QObject {
    Q_OBJECT
private slots:
    void looksAsSpecified() {
        TMsgForm form;
        QCOMPARE(form.windowTitle(), QString("Messages"));
        QCOMPARE(form.size(), QSize(435, 300));
        auto* msgs = form.findChild<QPlainTextEdit*>("msgs");
        QVERIFY(msgs);
        QVERIFY(msgs->isReadOnly());
        QCOMPARE(msgs->lineWrapMode(), QPlainTextEdit::WidgetWidth); // a long line stays readable
        QVERIFY(form.findChild<QAction*>("Clear1"));
        QCOMPARE(form.findChild<QAction*>("Clear1")->text(), QString("Cl&ear"));
        QCOMPARE(form.findChild<QAction*>("Close1")->text(), QString("&Close"));
    }

    void newestFirstAndAtMost500() {
        TMsgForm form;
        for (int i = 1; i <= 501; ++i)
            form.AddMessage(QString("line %1").arg(i));
        QCOMPARE(form.Lines().size(), 500);
        QCOMPARE(form.Lines().first(), QString("line 501"));
        QCOMPARE(form.Lines().last(), QString("line 2"));
        auto* msgs = form.findChild<QPlainTextEdit*>("msgs");
        QVERIFY(msgs->toPlainText().startsWith("line 501\nline 500\n"));
    }

    void clearAndCloseMenu() {
        TMsgForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.AddMessage("a");
        form.findChild<QAction*>("Close1")->trigger();
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Lines().size(), 1);
        form.findChild<QAction*>("Clear1")->trigger();
        QVERIFY(form.Lines().isEmpty());
        QVERIFY(form.findChild<QPlainTextEdit*>("msgs")->toPlainText().isEmpty());
    }

    void warningShowsTheLogWithoutModality() {
        TMsgForm form;
        QtMessageSink sink(&form);
        MessageSink* old = SetMessageSink(&sink);
        int boxes = 0;
        SetMessageBoxHandler([&](const QString&, const QString&, unsigned) {
            ++boxes;
            return IDOK;
        });
        LogMessage(mtInfo, "loaded");
        QVERIFY(!form.isVisible());
        LogMessage(mtWarning, "Can't find file anywhere: a.mat");
        QVERIFY(form.isVisible());
        QVERIFY(!form.isModal());
        QCOMPARE(boxes, 0);
        QCOMPARE(form.Lines().first(), QString("Warning: Can't find file anywhere: a.mat"));
        QCOMPARE(form.Lines().at(1), QString("Info: loaded"));
        SetMessageBoxHandler({});
        SetMessageSink(old);
    }

    void errorShowsTheBoxBeforeTheLine() {
        TMsgForm form;
        QtMessageSink sink(&form);
        MessageSink* old = SetMessageSink(&sink);
        QString caption;
        int linesWhenAsked = -1;
        SetMessageBoxHandler([&](const QString& text, const QString& cap, unsigned flags) {
            caption = cap;
            linesWhenAsked = int(form.Lines().size());
            Q_UNUSED(text);
            Q_UNUSED(flags);
            return IDOK;
        });
        LogMessage(mtError, "bad");
        QCOMPARE(caption, QString("Error"));
        QCOMPARE(linesWhenAsked, 0);
        QCOMPARE(form.Lines().first(), QString("Error: bad"));
        SetMessageBoxHandler({});
        SetMessageSink(old);
    }

    void centredWhenFirstShown() {
        TMsgForm form;
        form.move(0, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The window manager frames the window after it is first exposed: the frame and its
        // place settle a moment later.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const auto offCentre = [&] {
            const QPoint centre = form.frameGeometry().center();
            return qMax(qAbs(centre.x() - area.center().x()), qAbs(centre.y() - area.center().y()));
        };
        QTRY_VERIFY2_WITH_TIMEOUT(offCentre() < 40, qPrintable(QString::number(offCentre())), 5000);
    }
};

QTEST_MAIN(TestMsgForm)
#include "test_msgform.moc"
