// Drives an unmodified zqvideo from inside, as a user would: loaded with
// LD_PRELOAD into the program (an installed or unpacked one), it waits for
// the live picture, starts PDF collection, captures a page, makes the PDF
// and quits with the quit button.  It prints the window's texts and the
// files the camera libraries were loaded from, for scripts/check-package.sh
// to judge.  Exit status 3 when a step does not happen within a minute.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <vector>

namespace
{

template <typename T> T *find(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

QWidget *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "MainWindow" && w->isVisible())
            return w;
    return nullptr;
}

void printTexts(QWidget *window)
{
    std::printf("title: %s\n", qPrintable(window->windowTitle()));
    for (QWidget *w : window->findChildren<QWidget *>()) {
        QStringList texts;
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            texts << b->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            texts << l->text();
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            texts << g->title();
        else if (auto *c = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        for (const QString &text : texts)
            std::printf("text: %s: %s\n", qPrintable(w->objectName()), qPrintable(text));
    }
}

// The library files mapped into the process that belong to zqscan.
// The preview before the camera's first frame is black; a capture needs
// a frame.
bool isBlack(const QLabel *preview)
{
    const QImage picture = preview->pixmap(Qt::ReturnByValue).toImage();
    return picture.isNull() || picture.pixel(picture.rect().center()) == qRgb(0, 0, 0);
}

void printLibraries()
{
    QFile maps("/proc/self/maps");
    maps.open(QIODevice::ReadOnly);
    QStringList seen;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
        if (line.contains("/libzq") && !seen.contains(path))
            seen << path;
    }
    for (const QString &path : seen)
        std::printf("library: %s\n", qPrintable(path));
}

// Each step acts once its condition holds; the steps run in order.
struct Step {
    const char *what;
    std::function<bool(QWidget *)> ready;
    std::function<void(QWidget *)> act;
};

void drive()
{
    static const std::vector<Step> steps = {
        {"live picture", [](QWidget *w) { return !isBlack(find<QLabel>(w, "label_V")); },
         [](QWidget *w) { find<QPushButton>(w, "butten_pdf")->click(); }},
        {"capture", [](QWidget *) { return true; },
         [](QWidget *w) {
             QTest::mousePress(find<QPushButton>(w, "pushButton_3"), Qt::LeftButton);
         }},
        {"page in the list",
         [](QWidget *w) { return find<QListWidget>(w, "listWidget")->count() > 0; },
         [](QWidget *w) { find<QPushButton>(w, "butten_pdf")->click(); }},
        {"quit", [](QWidget *) { return true; },
         [](QWidget *w) {
             printTexts(w);
             printLibraries();
             std::fflush(stdout);
             QTest::mousePress(find<QPushButton>(w, "pushButton_7"), Qt::LeftButton);
         }},
    };
    static size_t next = 0;
    static QElapsedTimer clock;
    auto *poll = new QTimer(qApp);
    clock.start();
    QObject::connect(poll, &QTimer::timeout, [poll] {
        QWidget *window = mainWindow();
        if (window && steps[next].ready(window)) {
            steps[next].act(window);
            if (++next == steps.size())
                poll->stop();
        } else if (clock.elapsed() > 60000) {
            std::printf("driver: no %s within a minute\n", steps[next].what);
            std::fflush(stdout);
            QCoreApplication::exit(3);
        }
    });
    poll->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(drive)
