// zqvideo's settings file, its save-directory check, time stamps and paths.
#include "child_process.h"
#include "gui_harness.h"

#include <QStatusBar>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <functional>

using zq::test::asNobody;
using zq::test::inChild;

namespace
{

class EnvGuard
{
  public:
    explicit EnvGuard(const char *name) : name_(name)
    {
        const char *v = getenv(name);
        had_ = v != nullptr;
        if (had_)
            value_ = v;
    }
    ~EnvGuard()
    {
        if (had_)
            setenv(name_, value_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char *name_;
    bool had_;
    std::string value_;
};

ZqConfig loadFrom(const QByteArray &content)
{
    writeConfigFile(content);
    ZqConfig c;
    loadConfigFile(c, testConfigFile().toStdString());
    return c;
}

std::string fileBytes(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

} // namespace

class ConfigTest : public QObject
{
    Q_OBJECT

  private slots:
    void init()
    {
        startFromNothing();
        setenv("HOME", "/home/u", 1);
    }

    void defaultsWithoutFile()
    {
        ZqConfig c;
        memset(&c, 0x5a, sizeof(c));
        loadConfigFile(c, testConfigFile().toStdString());
        QCOMPARE(c.quality, 5);
        QCOMPARE(QByteArray(c.save_dir), QByteArray("/home/u"));
        for (int v : {c.rota, c.color, c.default_cam, c.width, c.height, c.cutting_mode,
                      c.clear_background, c.picture_format})
            QCOMPARE(v, 0);
    }

    void homeTooLongForSaveDir()
    {
        EnvGuard home("HOME");
        ZqConfig c;
        setenv("HOME", std::string(256, 'h').c_str(), 1);
        loadConfigFile(c, "");
        QCOMPARE(c.save_dir[0], '\0');
        setenv("HOME", ("/" + std::string(254, 'h')).c_str(), 1);
        loadConfigFile(c, "");
        QCOMPARE(strlen(c.save_dir), size_t(255));
    }

    void configDirectoryFromEnvironment()
    {
        EnvGuard xdg("XDG_CONFIG_HOME");
        EnvGuard home("HOME");
        setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
        QCOMPARE(configPathIn(GetSaveDir()), std::string("/tmp/cfg/.zqvideo.config"));
        setenv("XDG_CONFIG_HOME", "", 1);
        QCOMPARE(configPathIn(GetSaveDir()), std::string("/.zqvideo.config"));
        unsetenv("XDG_CONFIG_HOME");
        QCOMPARE(configPathIn(GetSaveDir()), std::string("/home/u/.zqvideo.config"));
        unsetenv("HOME");
        QVERIFY(GetSaveDir() == nullptr);
        QVERIFY(configPathIn(GetSaveDir()).empty());
    }

    void withoutConfigDirectoryNothingIsReadOrSaved()
    {
        ZqConfig c;
        loadConfigFile(c, "");
        QCOMPARE(c.quality, 5);
        QVERIFY(!saveConfigFile(c, ""));
    }

    void configPathIsFixedAtFirstUse()
    {
        EnvGuard xdg("XDG_CONFIG_HOME");
        const std::string first = GetConfigPath();
        QCOMPARE(first, testConfigFile().toStdString());
        setenv("XDG_CONFIG_HOME", "/elsewhere", 1);
        QCOMPARE(GetConfigPath(), first);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rota");
        QTest::addColumn<int>("color");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QByteArray>("saveDir");
        QTest::addColumn<int>("pictureFormat");

        QTest::newRow("empty file") << QByteArray() << 0 << 0 << 5 << QByteArray("/home/u") << 0;
        QTest::newRow("three lines")
            << QByteArray("2\n1\n3\n") << 2 << 1 << 3 << QByteArray("/home/u") << 0;
        QTest::newRow("letters give 0")
            << QByteArray("abc\n1\n") << 0 << 1 << 5 << QByteArray("/home/u") << 0;
        QTest::newRow("leading spaces")
            << QByteArray("  7\n") << 7 << 0 << 5 << QByteArray("/home/u") << 0;
        QTest::newRow("trailing letters")
            << QByteArray("12a\n") << 12 << 0 << 5 << QByteArray("/home/u") << 0;
        QTest::newRow("0xFF keeps default")
            << QByteArray("\xff\n1\n\xff\n") << 0 << 1 << 5 << QByteArray("/home/u") << 0;
        QTest::newRow("empty line is 0")
            << QByteArray("\n\n\n") << 0 << 0 << 0 << QByteArray("/home/u") << 0;
        QTest::newRow("empty directory line")
            << QByteArray("0\n0\n5\n0\n0\n0\n\n0\n0\n1\n") << 0 << 0 << 5 << QByteArray() << 1;
        QTest::newRow("negative") << QByteArray("-1\n") << -1 << 0 << 5 << QByteArray("/home/u")
                                  << 0;
        QTest::newRow("no final line feed") << QByteArray("1\n0\n5\n0\n1\n1\n/data/x\n0\n0\n1") << 1
                                            << 0 << 5 << QByteArray("/data/x") << 1;
        QTest::newRow("lines after the tenth")
            << QByteArray("1\n0\n5\n0\n1\n1\n/d\n0\n0\n0\n9\n9\n") << 1 << 0 << 5
            << QByteArray("/d") << 0;
    }

    void reading()
    {
        QFETCH(QByteArray, content);
        const ZqConfig c = loadFrom(content);
        QTEST(c.rota, "rota");
        QTEST(c.color, "color");
        QTEST(c.quality, "quality");
        QTEST(QByteArray(c.save_dir), "saveDir");
        QTEST(c.picture_format, "pictureFormat");
    }

    void longDirectoryLineIsReadWholeAndCut()
    {
        const std::string dir200 = "/" + std::string(199, 'd');
        ZqConfig c =
            loadFrom(QByteArray::fromStdString("0\n0\n5\n0\n0\n0\n" + dir200 + "\n2\n1\n1\n"));
        QCOMPARE(std::string(c.save_dir), dir200);
        QCOMPARE(c.cutting_mode, 2);

        const std::string dir300 = "/" + std::string(299, 'e');
        c = loadFrom(QByteArray::fromStdString("0\n0\n5\n0\n0\n0\n" + dir300 + "\n2\n1\n1\n"));
        QCOMPARE(std::string(c.save_dir), dir300.substr(0, 255));
        QCOMPARE(c.cutting_mode, 2); // the rest of the long line is not the next field
        QCOMPARE(c.clear_background, 1);
        QCOMPARE(c.picture_format, 1);
    }

    void valuesTheProgramCannotUseKeepDefaults()
    {
        ZqConfig c = loadFrom("0\n0\n2147483647\n2147483647\n-5\n65536\n/d\n0\n0\n0\n");
        QCOMPARE(c.quality, 5);
        QCOMPARE(c.default_cam, 0);
        QCOMPARE(c.width, 0);
        QCOMPARE(c.height, 0);
        c = loadFrom("0\n0\n9\n9\n65535\n65535\n/d\n0\n0\n0\n");
        QCOMPARE(c.quality, 9);
        QCOMPARE(c.default_cam, 9);
        QCOMPARE(c.width, 65535);
        QCOMPARE(c.height, 65535);
    }

    // A link to a device, a FIFO or a directory in the file's place is
    // neither waited for nor read; a huge file is read from its start only.
    void settingsThatAreNoFileLeaveDefaults()
    {
        const QByteArray path = QFile::encodeName(testConfigFile());
        ZqConfig defaults;
        loadConfigFile(defaults, "");
        alarm(10); // a reader that waits fails the test instead of holding it
        const std::function<int()> makers[] = {[&] { return symlink("/dev/zero", path); },
                                               [&] { return mkfifo(path, 0600); },
                                               [&] { return mkdir(path, 0700); }};
        for (const auto &make : makers) {
            QCOMPARE(make(), 0);
            ZqConfig c;
            memset(&c, 0x5a, sizeof(c));
            loadConfigFile(c, path.toStdString());
            QCOMPARE(memcmp(&c, &defaults, sizeof(c)), 0);
            QCOMPARE(remove(path), 0);
        }
        alarm(0);

        const ZqConfig c = loadFrom("1\n" + QByteArray(5000, 'x') + "\n3\n");
        QCOMPARE(c.rota, 1);
        QCOMPARE(c.color, 0);
        QCOMPARE(c.quality, 5); // its line lies beyond what is read
    }

    void startWithDeviceAsSettingsIsQuick()
    {
        QCOMPARE(symlink("/dev/zero", QFile::encodeName(testConfigFile())), 0);
        DialogStub dialogs;
        alarm(10);
        QElapsedTimer clock;
        clock.start();
        {
            MainWindow window;
            QVERIFY2(clock.elapsed() < 1000, QByteArray::number(clock.elapsed()) + " ms");
            QCOMPARE(g_Config.quality, 5);
            QCOMPARE(g_Config.default_cam, 0);
            QCOMPARE(QByteArray(g_Config.save_dir), QByteArray("/home/u"));
        }
        alarm(0);
    }

    void textFormHonoursItsSize()
    {
        writeConfigFile("abcdef\n");
        FILE *file = fopen(testConfigFile().toLocal8Bit().constData(), "r");
        QVERIFY(file);
        char text[4] = {'x', 'x', 'x', 'x'};
        ReadConfig(file, text, 0);
        QCOMPARE(text[0], 'x');
        ReadConfig(file, text, sizeof(text));
        fclose(file);
        QCOMPARE(QByteArray(text), QByteArray("abc"));
    }

    void saveWritesTheTenLines()
    {
        ZqConfig c{};
        c.rota = 1;
        c.quality = 5;
        c.width = 1280;
        c.height = 720;
        strcpy(c.save_dir, "/data/scans");
        c.cutting_mode = 2;
        c.clear_background = 1;
        c.picture_format = 1;
        QVERIFY(saveConfigFile(c, testConfigFile().toStdString()));
        QCOMPARE(readConfigFile(), QByteArray("1\n0\n5\n0\n1280\n720\n/data/scans\n2\n1\n1\n"));

        c.rota = -1;
        c.default_cam = 3;
        QVERIFY(saveConfigFile(c, testConfigFile().toStdString()));
        ZqConfig back;
        loadConfigFile(back, testConfigFile().toStdString());
        QCOMPARE(memcmp(&back, &c, sizeof(c)), 0);
        QVERIFY(readConfigFile().startsWith("-1\n0\n5\n3\n"));
    }

    // What a killed writer left beside the settings, in the save directory
    // and beside the page lists goes at the start; a running writer's temporary files and
    // other hidden files stay.
    void staleTemporaryFilesGoAtTheStart()
    {
        QTemporaryDir saves;
        ZqConfig c{};
        strcpy(c.save_dir, QFile::encodeName(saves.path()).constData());
        QVERIFY(saveConfigFile(c, testConfigFile().toStdString()));
        const pid_t gone = fork();
        if (gone == 0)
            _exit(0);
        waitpid(gone, nullptr, 0);
        const QString stale = QString(".20261208101010123.jpg.%1.0.tmp").arg(gone);
        const QString running = QString(".20261208101010124.jpg.%1.3.tmp").arg(getppid());
        const QStringList dirs{saves.path(), testConfigDir(), testJournalDir()};
        QVERIFY(QDir().mkpath(testJournalDir()));
        for (const QString &dir : dirs)
            for (const QString &name : {stale, running, QString(".notes.tmp")})
                QVERIFY(QFile(dir + "/" + name).open(QIODevice::WriteOnly));
        DialogStub dialogs;
        MainWindow window;
        for (const QString &dir : dirs) {
            QVERIFY(!QFile::exists(dir + "/" + stale));
            QVERIFY(QFile::remove(dir + "/" + running));
            QVERIFY(QFile::remove(dir + "/.notes.tmp"));
        }
    }

    // A directory in the settings file's place keeps nothing: the start
    // says so.
    void settingsPathThatIsADirectoryIsReported()
    {
        QVERIFY(QDir().mkdir(testConfigFile()));
        DialogStub dialogs;
        MainWindow window;
        const QString message = window.statusBar()->currentMessage();
        QVERIFY2(
            message.contains(QString::fromUtf8("设置无法保存到 %1：%2")
                                 .arg(testConfigFile(), QString::fromLocal8Bit(strerror(EISDIR)))),
            qPrintable(message));
        QVERIFY(QDir().rmdir(testConfigFile()));
    }

    void savedFileTakesTheUmask()
    {
        const mode_t old = umask(027);
        ZqConfig c{};
        const bool saved = saveConfigFile(c, testConfigFile().toStdString());
        umask(old);
        QVERIFY(saved);
        struct stat st;
        QCOMPARE(stat(testConfigFile().toLocal8Bit().constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
    }

    // A write cut short (here by the file size limit, as by a full disk)
    // leaves the previous file whole and no stray file behind.
    void failedWriteKeepsOldFile()
    {
        const QByteArray old("2\n1\n3\n0\n640\n480\n/old/dir\n0\n0\n0\n");
        writeConfigFile(old);
        const std::string path = testConfigFile().toStdString();
        const int status = inChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{8, 8};
            setrlimit(RLIMIT_FSIZE, &limit);
            ZqConfig c{};
            strcpy(c.save_dir, "/a/much/longer/directory/than/before");
            return saveConfigFile(c, path) ? 0 : 1;
        });
        QCOMPARE(status, 1);
        QCOMPARE(readConfigFile(), old);
        QCOMPARE(QDir(testConfigDir()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{".zqvideo.config"});
    }

    void unwritableDirectoryKeepsOldFile()
    {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/.zqvideo.config";
        QVERIFY(saveConfigFile(ZqConfig{}, path));
        const std::string before = fileBytes(path);
        chmod(path.c_str(), 0666); // the file itself would take the write
        const int status = asNobody([&] {
            ZqConfig c{};
            c.rota = 3;
            return saveConfigFile(c, path) ? 0 : 1;
        });
        QCOMPARE(status, 1);
        QCOMPARE(fileBytes(path), before);
    }

    // ---- save directory -----------------------------------------------------

    void checkDirAcceptsReadableWritable()
    {
        DialogStub dialogs;
        QTemporaryDir dir;
        QVERIFY(checkDir(dir.path().toLocal8Bit().constData()));
        strcpy(g_Config.save_dir, dir.path().toLocal8Bit().constData());
        QVERIFY(checkDir(nullptr));
        QCOMPARE(DialogStub::errorBoxes, 0);
    }

    void checkDirRefusesMissingEmptyAndNoDirectory()
    {
        DialogStub dialogs;
        QVERIFY(!checkDir("/no/such/directory"));
        QVERIFY(!checkDir(""));
        g_Config.save_dir[0] = '\0';
        QVERIFY(!checkDir(nullptr));
        QTemporaryDir dir;
        const QByteArray file = QFile::encodeName(dir.filePath("file"));
        const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
        QVERIFY(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QVERIFY(!checkDir(file.constData()));
        QVERIFY(!checkDir(fifo.constData()));
        QCOMPARE(DialogStub::errorBoxes, 5);
    }

    void checkDirRefusesWhatTheUserCannotWrite()
    {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString();
        chmod(path.c_str(), 0755); // root's; others may read but not write
        const int status = asNobody([&] {
            DialogStub dialogs;
            const bool ok = checkDir(path.c_str());
            return ok ? 0 : (DialogStub::errorBoxes == 1 ? 1 : 2);
        });
        QCOMPARE(status, 1);
    }

    void pathsFitTheirBuffers()
    {
        const std::string longest(230, 'd');
        QVERIFY(dirFitsPaths(longest.c_str()));
        QVERIFY(!dirFitsPaths((longest + "d").c_str()));

        char path[kPathMax];
        QVERIFY(joinPath(path, longest.c_str(), "20240315093005123-2.tiff"));
        QCOMPARE(strlen(path), size_t(255));
        QVERIFY(!joinPath(path, (longest + "d").c_str(), "20240315093005123-2.tiff"));
        QCOMPARE(path[0], '\0');
        QVERIFY(joinPath(path, "/data/scans", "a.jpg"));
        QCOMPARE(QByteArray(path), QByteArray("/data/scans/a.jpg"));
    }

    // ---- time stamps --------------------------------------------------------

    void timeStampFormat_data()
    {
        QTest::addColumn<int>("microseconds");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("123 ms") << 123456 << QByteArray("20240315093005123");
        QTest::newRow("rounded down") << 999999 << QByteArray("20240315093005999");
        QTest::newRow("zero padded") << 7000 << QByteArray("20240315093005007");
    }

    void timeStampFormat()
    {
        QFETCH(int, microseconds);
        EnvGuard tz("TZ");
        setenv("TZ", "UTC", 1);
        tzset();
        tm t{};
        t.tm_year = 124;
        t.tm_mon = 2;
        t.tm_mday = 15;
        t.tm_hour = 9;
        t.tm_min = 30;
        t.tm_sec = 5;
        const timeval tv{timegm(&t), microseconds};
        char out[200] = "";
        QVERIFY(formatTimeStamp(tv, out, sizeof(out)));
        QTEST(QByteArray(out), "expected");
    }

    void freshTimeStampIsNow()
    {
        const time_t before = time(nullptr);
        const char *stamp = _get_file_time_str();
        QCOMPARE(strlen(stamp), size_t(17));
        tm t{};
        QVERIFY(strptime(QByteArray(stamp, 14).constData(), "%Y%m%d%H%M%S", &t));
        t.tm_isdst = -1;
        QVERIFY(qAbs(mktime(&t) - before) <= 2);
        QVERIFY(_get_file_time_str() == stamp); // one buffer, overwritten
    }
};

ZQ_GUI_TEST_MAIN(ConfigTest)
#include "gui_config_test.moc"
