// Automatic capture in the real window, on a virtual camera whose desk
// follows a script: pages laid, moved, taken away and reached over by a
// hand, or an open book's pages turned.  The script and the window share
// one clock that the test moves on.
#include "gui_book_harness.h"

#include "autocapture.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>

using namespace zq::sim;

namespace
{

// The usual page: three tenths of the frame wide.
constexpr double kPageWidth = 0.3;

constexpr int kTickMs = 100;

} // namespace

class AutoCaptureTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void init()
    {
        startFresh();
        QFile::remove(QString::fromStdString(programSettingsPath()));
        now = 0;
    }
    void cleanup() { finish(); }

    // One page after another, each taken away before the next: one
    // capture each, in the order laid.  Pages of growing width tell them
    // apart in the files.
    void fivePagesGiveFiveCapturesInOrder()
    {
        std::vector<DeskShot> shots{{0.5, std::nullopt}};
        for (int i = 0; i < 5; ++i) {
            const double tilt = i % 2 ? -(3 + i) : 3 + i;
            shots.push_back({2.0, pageAt(0.4 + 0.04 * i, 0.5, 0.22 + 0.04 * i, tilt)});
            shots.push_back({0.6, std::nullopt});
        }
        start(shots);
        run(0.3);
        QCOMPARE(state(), QString::fromUtf8("自动拍照：等待新页面"));
        run(0.5);
        QCOMPARE(state(), QString::fromUtf8("自动拍照：请保持静止"));
        QCOMPARE(captures(), 0);
        QCOMPARE(capturesAfter(0.8), 1);
        QCOMPARE(window->statusBar()->currentMessage(),
                 QString::fromUtf8("已保存 ") + filesIn(saveDir->path()).value(0));
        QCOMPARE(state(), QString::fromUtf8("自动拍照：等待新页面"));
        run(13);
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 5);
        int lastWidth = 0;
        for (const QString &file : files) {
            const int width = QImage(saveDir->filePath(file)).width();
            QVERIFY2(width > lastWidth + 20, qPrintable(file));
            lastWidth = width;
        }
        QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), 5);
    }

    // A page left lying, and one nudged by a few pixels, is taken once.
    void pageLeftLyingGivesOne()
    {
        start({{0.5, std::nullopt},
               {5, pageAt(0.5, 0.5, kPageWidth, 4)},
               {5, pageAt(0.502, 0.503, kPageWidth, 4)}});
        QCOMPARE(capturesAfter(10.5), 1);
    }

    // Moved before it settled: nothing until it lies still; moved after it
    // was taken: taken again once it is still.
    void movedPageWaitsUntilStill()
    {
        std::vector<DeskShot> shots{{0.5, std::nullopt}};
        for (int i = 0; i < 5; ++i)
            shots.push_back({0.5, pageAt(0.35 + 0.06 * i, 0.5, kPageWidth, 3)});
        shots.push_back({2.0, pageAt(0.6, 0.5, kPageWidth, 3)});
        shots.push_back({2.0, pageAt(0.45, 0.45, kPageWidth, 3)});
        start(shots);
        QCOMPARE(capturesAfter(3.0), 0);
        QCOMPARE(capturesAfter(2.0), 1);
        QCOMPARE(capturesAfter(2.0), 2);
    }

    // A hand reaching over holds the capture back until it has gone, and
    // reaching over a page already taken does not take it again.
    void handPassingHoldsTheCapture()
    {
        const PageScene page = pageAt(0.45, 0.5, kPageWidth, -5);
        start({{0.5, std::nullopt}, {3.0, page, true}, {2.5, page, true}});
        QCOMPARE(capturesAfter(2.4), 0); // the hand leaves after 2 s
        QCOMPARE(capturesAfter(1.3), 1);
        QCOMPARE(capturesAfter(3.0), 1);
    }

    void nothingWhenSwitchedOff()
    {
        start({{0.5, std::nullopt}, {3.0, pageAt(0.5, 0.5, kPageWidth, 4)}}, false);
        QCOMPARE(capturesAfter(3.5), 0);
        QVERIFY(state().isEmpty());
    }

    // The switch is kept in the program's own settings file, and a press
    // of the capture key takes the page in view for automatic capture too.
    void switchIsKeptAndKeysTakeThePage()
    {
        start({{0.5, std::nullopt}, {3.0, pageAt(0.5, 0.5, kPageWidth, 4)}});
        QSettings settings(QString::fromStdString(programSettingsPath()), QSettings::IniFormat);
        QCOMPARE(settings.value("capture/auto").toBool(), true);
        run(0.7);
        window->findChild<QAction *>("actionCapture")->trigger();
        QCOMPARE(capturesAfter(2.0), 1);

        window.reset();
        window = startWindow(settingsForScripts());
        QVERIFY(autoSwitch()->isChecked());
        autoSwitch()->trigger();
        settings.sync();
        QCOMPARE(settings.value("capture/auto").toBool(), false);
    }

    // In book mode each spread is captured once, as its two pages, after
    // the hand that turned to it has gone.
    void bookPagesTurnedGiveOneSpreadEach()
    {
        constexpr double kSpread = BookScript::kStillSeconds;
        constexpr double kTurn = 2.0; // the hand reaching over and back
        startOnBook(openBook(1));
        QCOMPARE(capturesAfter(kSpread), 2);
        QCOMPARE(capturesAfter(kTurn), 2);
        QCOMPARE(capturesAfter(kSpread), 4);
        run(kTurn + kSpread);
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 6);
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(files[i].contains(i % 2 ? "-2." : "-1."), qPrintable(files[i]));
            const BookScene spread = openBook(1 + 2 * (i / 2));
            QCOMPARE(bookSideShown(spread, QImage(saveDir->filePath(files[i]))), i % 2);
        }
    }

    // A page that cannot be written (a file-size limit here, as a full
    // disk) is not taken: the reason stays in the status bar, and the page
    // is tried again after pauses that grow, until there is room for it.
    void failedWriteIsTriedAgainUntilWritten()
    {
        start({{0.5, std::nullopt}, {30, pageAt(0.5, 0.5, kPageWidth, 4)}});
        const auto *failure = window->findChild<QLabel *>("saveFailure");
        {
            const FileSizeLimit full(1024);
            run(1.5); // still from 1.3 s: the first try fails
            QCOMPARE(state(), QString::fromUtf8("自动拍照：无法保存，稍后再试"));
            run(1.5); // tried again 1 s later
            QVERIFY(failure->isVisibleTo(window.get()));
            QVERIFY2(failure->text().endsWith(QString::fromLocal8Bit(strerror(EFBIG))),
                     qPrintable(failure->text()));
        }
        QCOMPARE(capturesAfter(1.0), 0); // the next try waits 2 s
        QCOMPARE(capturesAfter(0.6), 1);
        QVERIFY(!failure->isVisibleTo(window.get()));
        QCOMPARE(capturesAfter(3.0), 1);
    }

  private:
    // Files may not grow beyond a size while this lives; writes that would
    // fail with EFBIG instead of a signal.
    struct FileSizeLimit {
        explicit FileSizeLimit(rlim_t bytes)
        {
            getrlimit(RLIMIT_FSIZE, &saved);
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{bytes, saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
        rlimit saved{};
    };

    static ZqConfig settingsForScripts()
    {
        ZqConfig settings = startSettings(1280, 720, QDir::tempPath());
        settings.cutting_mode = CropMode::Automatic;
        return settings;
    }

    void start(std::vector<DeskShot> shots, bool switchOn = true)
    {
        CameraConfig camera = camera1280x720();
        camera.script =
            std::make_shared<DeskScript>(std::move(shots), [this] { return now / 1e3; });
        hw().addCamera(0, camera);
        ZqConfig settings = settingsForScripts();
        strcpy(settings.save_dir, saveDir->path().toUtf8().constData());
        window = startWindow(settings);
        window->findChild<AutoCapture *>()->setClock([this] { return now; });
        if (switchOn)
            autoSwitch()->trigger();
    }

    // Book mode and automatic capture on, on a camera looking at the book
    // whose pages a hand turns now and then.
    void startOnBook(const BookScene &book)
    {
        CameraConfig camera = camera1280x720();
        camera.script = std::make_shared<BookScript>(book, [this] { return now / 1e3; });
        hw().addCamera(0, camera);
        ZqConfig settings = settingsForScripts();
        strcpy(settings.save_dir, saveDir->path().toUtf8().constData());
        window = startWindow(settings);
        window->findChild<AutoCapture *>()->setClock([this] { return now; });
        autoSwitch()->trigger();
        window->findChild<QAction *>("actionBookMode")->trigger();
    }

    QAction *autoSwitch() { return window->findChild<QAction *>("actionAutoCapture"); }

    // The frame loop for this long, a frame each tick.
    void run(double seconds)
    {
        for (int i = 0; i < qRound(seconds * 1000 / kTickMs); ++i) {
            now += kTickMs;
            tick(*window);
        }
    }

    int captures() const { return filesIn(saveDir->path()).size(); }
    // The captures there are once the frame loop has run this long.
    int capturesAfter(double seconds)
    {
        run(seconds);
        return captures();
    }

    QString state() const
    {
        const auto *label = window->findChild<QLabel *>("autoCaptureState");
        return label->isVisibleTo(window.get()) ? label->text() : QString();
    }

    qint64 now = 0;
};

ZQ_GUI_TEST_MAIN(AutoCaptureTest)
#include "gui_autocapture_test.moc"
