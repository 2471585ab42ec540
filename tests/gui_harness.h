// What the zqvideo tests share: a main() that binds libzqscan to the
// virtual hardware and gives the process its own configuration directory
// and home with its own desktop trash and state folder, scratch
// directories, and a view of the window's private state.
#ifndef ZQ_TESTS_GUI_HARNESS_H
#define ZQ_TESTS_GUI_HARNESS_H

#include "collectionpdf.h"
#include "config.h"
#include "framepipeline.h"
#include "mainwindow.h"
#include "savedir.h"
#include "virtual_hardware.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <list>
#include <string>

// The configuration directory of the test process, fixed before anything
// asks for the configuration path.
inline QString &testConfigDir()
{
    static QString dir;
    return dir;
}

inline QString testConfigFile()
{
    return testConfigDir() + "/.zqvideo.config";
}

// The desktop trash of the test process.
inline QString testTrashDir()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
}

using zq::sim::hw;

// The page lists' journals of the test process.
inline QString testJournalDir()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + "/zqvideo";
}

// Every window test starts without cameras, settings files and journals.
inline void startFromNothing()
{
    hw().reset();
    QFile::remove(testConfigFile());
    QFile::remove(QFile::decodeName(programSettingsPath().c_str()));
    QDir(testJournalDir()).removeRecursively();
}

inline void writeConfigFile(const QByteArray &content)
{
    QFile file(testConfigFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

inline QByteArray readConfigFile()
{
    QFile file(testConfigFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window's state as the tests see it.
struct MainWindowProbe {
    explicit MainWindowProbe(MainWindow &w) : window(w) {}
    MainWindow &window;

    bool captureRequested() const { return window.captureRequested; }
    bool resolutionsListed() const { return window.resolutionsListed; }
    int cameraIndex() const { return window.cameraIndex; }
    std::list<std::string> &pdfImageList() { return window.pdfImageList; }
    bool &pdfRecording() { return window.pdfRecording; }
    bool pdfComposing() const { return window.collection->composing(); }
    QTimer *timer() const { return window.timer; }
    void finishCaptures() { window.pipeline->finishCaptures(); }
};

// One tick of the frame loop, with the capture it may have started
// written and listed.
inline void tick(MainWindow &window)
{
    window.TimerUpdate();
    MainWindowProbe(window).finishCaptures();
}

// Lets the window run until the PDF it is composing is written or has
// failed; false if that takes longer than a few minutes.
inline bool pdfComposed(MainWindow &window)
{
    QDeadlineTimer deadline(std::chrono::minutes(3));
    while (MainWindowProbe(window).pdfComposing() && !deadline.hasExpired())
        QTest::qWait(10);
    return !MainWindowProbe(window).pdfComposing();
}

// Whether a status message says that the PDF at path was saved with these
// pages, and gives its size as the file has it, to the message's rounding.
inline bool pdfSavedMessageFits(const QString &message, const QString &path, int pages)
{
    const QRegularExpression form(
        QString::fromUtf8("^PDF 已保存：(.+)（(\\d+) 页，(\\S+) (\\w+)）$"));
    const QRegularExpressionMatch saved = form.match(message);
    if (!saved.hasMatch() || saved.captured(1) != path || saved.captured(2).toInt() != pages)
        return false;
    const QStringList units = {"bytes", "kB", "MB", "GB"};
    const int unit = int(units.indexOf(saved.captured(4)));
    bool number = false;
    const double shown = QLocale().toDouble(saved.captured(3), &number);
    const double bytes = double(QFileInfo(path).size());
    return unit >= 0 && number && std::abs(shown * std::pow(1000.0, unit) - bytes) <= 0.06 * bytes;
}

template <typename T> T *widget(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

// Replaces the window's modal dialogs and its camera pause for one test,
// recording what they were asked.
class DialogStub
{
  public:
    DialogStub()
    {
        saved_ = MainWindow::hooks;
        savedError_ = showDirError;
        answer = QString();
        errorBoxes = 0;
        pauses.clear();
        MainWindow::hooks = {[](QWidget *) { return answer; },
                             [](unsigned us) { pauses.push_back(us); }};
        showDirError = [] { ++errorBoxes; };
    }
    ~DialogStub()
    {
        MainWindow::hooks = saved_;
        showDirError = savedError_;
    }

    // Shared with the hooks, which capture nothing.
    static inline QString answer;
    static inline int errorBoxes = 0;
    static inline std::list<unsigned> pauses;

  private:
    MainWindow::Hooks saved_;
    void (*savedError_)();
};

#define ZQ_GUI_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        zq::sim::useVirtualHardware("tests");                                                      \
        QTemporaryDir configDir;                                                                   \
        testConfigDir() = configDir.path();                                                        \
        setenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit().constData(), 1);                  \
        /* a home beside the save directories, so that deleted pages go to its trash */            \
        QTemporaryDir homeDir;                                                                     \
        setenv("HOME", homeDir.path().toLocal8Bit().constData(), 1);                               \
        setenv("XDG_DATA_HOME", (homeDir.path() + "/data").toLocal8Bit().constData(), 1);          \
        setenv("XDG_STATE_HOME", (homeDir.path() + "/state").toLocal8Bit().constData(), 1);        \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#endif
