// Storing and restoring the settings in the user's configuration folder.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "settings/GlobalVars.h"
#include "options/u_options.h"
#include "fixtures/fixtures.h"

using namespace vorlin;

class TestOptionsStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> config_;

    QString StoreFile(const char* app) {
        return config_->filePath(QString("Brennick/%1.conf").arg(app));
    }

    void WriteRaw(const char* app, const QString& text) {
        QDir().mkpath(config_->filePath("Brennick"));
        QFile f(StoreFile(app));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
    }

private slots:
    void init() {
        // A fresh configuration folder per test; the user's own is never touched.
        config_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", config_->path().toLocal8Bit());
        AssignDefaults();
        FirstRun = false;
    }
    void cleanup() { AssignDefaults(); }

    void storesLiveInTheConfigurationFolder() {
        QCOMPARE(SettingsFilePath(), StoreFile("Vorlin06"));
        QCOMPARE(LevelEditorFilePath(), StoreFile("Tolmar"));
    }

    void firstRunKeepsDefaultsAndDerivesContainers() {
        WriteRaw("Tolmar", "[General]\nJKDIR=/games/jk/\nMOTSDIR=/games/mots/\n");
        LoadSettings();
        QVERIFY(FirstRun);
        QCOMPARE(Settings.JKGOB, std::string("/games/jk/Resource/res2.gob"));
        QCOMPARE(Settings.MOTSGOB, std::string("/games/mots/Resource/jkmres.goo"));
        QCOMPARE(Settings.VORLIN_WIDTH, 660);
        QVERIFY(!QFile::exists(StoreFile("Vorlin06")));
        // Nothing is written at exit while the store does not exist.
        SaveExitSettings();
        QVERIFY(!QFile::exists(StoreFile("Vorlin06")));
    }

    void derivedContainerIsFoundIgnoringCase() {
        test::TempDir game;
        game.write("Resource/Res2.gob", "GOB ");
        WriteRaw(
            "Tolmar",
            QString("[General]\nJKDIR=%1/\n").arg(QString::fromStdString(game.path().string())));
        LoadSettings();
        QCOMPARE(Settings.JKGOB, game.file("Resource/Res2.gob"));
        QCOMPARE(Settings.MOTSGOB,
                 std::string("Resource/jkmres.goo")); // absent MOTSDIR reads as ""
    }

    void missingLevelEditorLeavesContainersEmpty() {
        LoadSettings();
        QVERIFY(FirstRun);
        QVERIFY(Settings.JKGOB.empty());
        QVERIFY(Settings.MOTSGOB.empty());
    }

    void preferencesAndLayoutSurviveARestart() {
        test::CommaLocale comma;
        QVERIFY2(comma.ok(), "de_DE.UTF-8 is missing: run scripts/setup.sh");
        LoadSettings();
        QVERIFY(FirstRun);
        Settings.JKGOB = "/g/res2.gob";
        Settings.MOTSGOB = "/g/jkmres.goo";
        Settings.COLOR_GRID = 0x123456;
        Settings.DEFAULT_FRAMEGAP = 7;
        Settings.MOVE_STEP = 0.25;
        Settings.SHOW_FLOOR = true;
        Settings.AUTOCOPY_FWD = false;
        SavePreferences();
        QVERIFY(!FirstRun);
        Settings.VORLIN_WIDTH = 800;
        Settings.VORLIN_LEFT = -20;
        Settings.WINDOW_MAXIMIZED = true;
        Settings.RECENT_KEY[0] = "/g/res2.gob>3do\\key\\kywalk.key";
        Settings.RECENT_3DO[4] = "/home/u/Ünïcode/ky.3do";
        SaveExitSettings();

        AssignDefaults();
        LoadSettings();
        QVERIFY(!FirstRun);
        QCOMPARE(Settings.JKGOB, std::string("/g/res2.gob"));
        QCOMPARE(Settings.COLOR_GRID, TColor(0x123456));
        QCOMPARE(Settings.DEFAULT_FRAMEGAP, 7);
        QCOMPARE(Settings.MOVE_STEP, 0.25);
        QVERIFY(Settings.SHOW_FLOOR);
        QVERIFY(!Settings.AUTOCOPY_FWD);
        QCOMPARE(Settings.VORLIN_WIDTH, 800);
        QCOMPARE(Settings.VORLIN_LEFT, -20);
        QVERIFY(Settings.WINDOW_MAXIMIZED);
        QCOMPARE(Settings.RECENT_KEY[0], std::string("/g/res2.gob>3do\\key\\kywalk.key"));
        QCOMPARE(Settings.RECENT_3DO[4], std::string("/home/u/Ünïcode/ky.3do"));
        QCOMPARE(Settings.RECENT_3DO[0], std::string());

        // MOVE_STEP is stored as the 8 little-endian bytes of the double.
        QSettings raw(StoreFile("Vorlin06"), QSettings::IniFormat);
        QByteArray bytes = raw.value("MOVE_STEP").toByteArray();
        QCOMPARE(bytes, QByteArray::fromHex("000000000000d03f"));
        QCOMPARE(raw.value("SHOW_FLOOR").toString(), QString("1"));
    }

    void storedWidthIsReadAsIs() {
        WriteRaw("Vorlin06", "[General]\nVORLIN_WIDTH=500\n");
        LoadSettings();
        QCOMPARE(Settings.VORLIN_WIDTH, 500);
        QCOMPARE(Settings.VORLIN_HEIGHT, 450); // absent: the default stays
    }

    void valuesOfAnotherKindKeepTheirDefaults() {
        WriteRaw("Vorlin06", "[General]\nVORLIN_WIDTH=wide\nMOVE_STEP=0.5\nCOLOR_GRID=1.5\n"
                             "SHOW_FLOOR=yes\nDEFAULT_FRAMERATE=99999999999\n"
                             "JKGOB=@ByteArray(abc)\nDEFAULT_NUMFRAMES=-3\n");
        LoadSettings();
        QVERIFY(!FirstRun);
        QCOMPARE(Settings.VORLIN_WIDTH, 660);
        QCOMPARE(Settings.MOVE_STEP, 0.01);
        QCOMPARE(Settings.COLOR_GRID, TColor(0x808080));
        QVERIFY(!Settings.SHOW_FLOOR);
        QCOMPARE(Settings.DEFAULT_FRAMERATE, 15);
        QVERIFY(Settings.JKGOB.empty());
        QCOMPARE(Settings.DEFAULT_NUMFRAMES, -3);
    }

    void failedWriteNamesTheValue() {
        // A folder where the store's file should be makes every write fail, even for root.
        QDir().mkpath(StoreFile("Vorlin06"));
        try {
            SavePreferences();
            QFAIL("no error");
        } catch (const std::exception& e) {
            QCOMPARE(QString(e.what()), QString("Failed to set data for 'JKGOB'"));
        }
    }
};

QTEST_GUILESS_MAIN(TestOptionsStore)
#include "test_options_store.moc"
