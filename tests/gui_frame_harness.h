// A zqvideo window on a virtual camera, for the tests of the frame loop.
#ifndef ZQ_TESTS_GUI_FRAME_HARNESS_H
#define ZQ_TESTS_GUI_FRAME_HARNESS_H

#include "gui_harness.h"

#include "camlabel.h"
#include "virtual_hardware.h"

#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QPainter>

#include <zqscan/zq_scanner.h>

#include <cstring>
#include <memory>

// A page off the centre of the desk, so that every turn of the picture
// looks different.
inline zq::sim::PageScene offCentrePage()
{
    zq::sim::PageScene s;
    s.centerX = 0.36;
    s.centerY = 0.42;
    s.pageWidth = 0.3;
    s.angleDeg = 6;
    return s;
}

// A document camera whose last native format offers these sizes.
inline zq::sim::CameraConfig cameraWith(std::vector<zq::sim::FrameSize> sizes,
                                        zq::sim::PageScene scene = offCentrePage())
{
    zq::sim::CameraConfig c = zq::sim::CameraConfig::documentCamera();
    c.formats = {{V4L2_PIX_FMT_YUYV, {zq::sim::FrameSize::discrete(640, 480)}},
                 {V4L2_PIX_FMT_MJPEG, std::move(sizes)}};
    c.scene = scene;
    return c;
}

inline zq::sim::CameraConfig camera1280x720()
{
    using zq::sim::FrameSize;
    return cameraWith({FrameSize::discrete(640, 480), FrameSize::discrete(1280, 720),
                       FrameSize::discrete(1920, 1080)});
}

// The settings a window starts from: the given size and directory, the
// rest as on a first start.
inline ZqConfig startSettings(int width, int height, const QString &saveDir)
{
    ZqConfig c{};
    c.quality = 5;
    c.width = width;
    c.height = height;
    strncpy(c.save_dir, saveDir.toUtf8().constData(), sizeof(c.save_dir) - 1);
    return c;
}

inline std::unique_ptr<MainWindow> startWindow(const ZqConfig &settings)
{
    saveConfigFile(settings, testConfigFile().toStdString());
    return std::make_unique<MainWindow>();
}

inline QImage frameImage(const uint8_t *rgb, int width, int height)
{
    return QImage(rgb, width, height, 3 * width, QImage::Format_RGB888).copy();
}

// What the camera rendered for its last frame, before the program changed
// it, as packed RGB24: the frame libv4l2 converted, or the camera's JPEG
// decoded whole.  Empty when it cannot be decoded.
inline std::vector<uint8_t> renderedBytes(zq::sim::VirtualCamera &camera)
{
    const std::vector<uint8_t> sent = camera.lastFrame();
    const size_t size = size_t(camera.width()) * camera.height() * 3;
    if (sent.size() == size)
        return sent;
    std::vector<uint8_t> rgb(size);
    int w = 0;
    int h = 0;
    if (zq_scanner_jpeg_decode(sent.data(), sent.size(), 1, rgb.data(), rgb.size(), &w, &h) != 0 ||
        size_t(w) * h * 3 != size)
        return {};
    return rgb;
}

inline QImage renderedFrame(zq::sim::VirtualCamera &camera)
{
    const std::vector<uint8_t> rgb = renderedBytes(camera);
    if (rgb.empty())
        return QImage();
    return frameImage(rgb.data(), int(camera.width()), int(camera.height()));
}

inline QImage previewOf(MainWindow &window)
{
    return widget<CamLabel>(window, "label_V")
        ->pixmap(Qt::ReturnByValue)
        .toImage()
        .convertToFormat(QImage::Format_RGB888);
}

// Mean absolute difference per byte of two pictures of one size; 255 when
// the sizes differ.
inline double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

// A page's thumbnail as the list shows it: shrunk into a 100-pixel square
// in its proportions, centred on a transparent ground.
inline QImage expectedThumbnail(const QImage &page)
{
    QImage square(100, 100, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    const QImage fitted = page.scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&square).drawImage((100 - fitted.width()) / 2, (100 - fitted.height()) / 2, fitted);
    return square;
}

inline QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// The state each window test starts from and leaves behind: fresh virtual
// hardware, no settings file, stub dialogs and an empty save directory.
class WindowTest : public QObject
{
  protected:
    void startFresh()
    {
        startFromNothing();
        dialogs = std::make_unique<DialogStub>();
        saveDir = std::make_unique<QTemporaryDir>();
    }
    // A fresh start with one camera and a window that streams it at the
    // given size, saving into the save directory.
    void startWindowOn(const zq::sim::CameraConfig &camera, int width, int height)
    {
        startFresh();
        hw().addCamera(0, camera);
        window = startWindow(startSettings(width, height, saveDir->path()));
    }
    void finish()
    {
        window.reset();
        dialogs.reset();
        hw().reset();
    }

    std::unique_ptr<DialogStub> dialogs;
    std::unique_ptr<QTemporaryDir> saveDir;
    std::unique_ptr<MainWindow> window;
};

#endif
