// The window's Settings at paths of its own: both files kept and read back,
// the switches kept apart from each other and from the ten lines, and what
// happens when a file has no place or cannot be written.
#include "config.h"
#include "settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

class SettingsTest : public QObject
{
    Q_OBJECT

  private slots:
    void bothFilesKeptAndReadBack()
    {
        QTemporaryDir dir;
        const Settings settings(dir.filePath("a.config").toStdString(),
                                dir.filePath("a.ini").toStdString());
        settings.load();
        g_Config.quality = 8;
        g_Config.cutting_mode = CropMode::Automatic;
        QVERIFY(settings.save());
        QVERIFY(settings.writeSwitch("capture/book", true));
        QVERIFY(settings.writeSwitch("pdf/compact", false));

        const ZqConfig saved = g_Config;
        g_Config = ZqConfig{};
        const Settings again(dir.filePath("a.config").toStdString(),
                             dir.filePath("a.ini").toStdString());
        again.load();
        QCOMPARE(g_Config.quality, saved.quality);
        QCOMPARE(g_Config.cutting_mode, saved.cutting_mode);
        QCOMPARE(QByteArray(g_Config.save_dir), QByteArray(saved.save_dir));
        QVERIFY(again.readSwitch("capture/book"));
        QVERIFY(!again.readSwitch("pdf/compact"));
        QVERIFY(!again.readSwitch("capture/auto")); // never written
        QCOMPARE(again.switchesFile(), dir.filePath("a.ini"));
    }

    void filesWithoutPlaceOrUnwritable()
    {
        // No place: nothing is read or written, and a switch is not lost
        // for want of a file.
        const Settings nowhere("", "");
        QVERIFY(!nowhere.save());
        QVERIFY(nowhere.writeSwitch("capture/auto", true));
        QVERIFY(!nowhere.readSwitch("capture/auto"));
        QVERIFY(nowhere.switchesFile().isEmpty());

        // A directory in the switches' place takes no file.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("taken.ini"));
        const Settings blocked(dir.filePath("taken.config").toStdString(),
                               dir.filePath("taken.ini").toStdString());
        QVERIFY(!blocked.writeSwitch("capture/auto", true));
        QVERIFY(!blocked.readSwitch("capture/auto"));
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "gui_settings_test.moc"
