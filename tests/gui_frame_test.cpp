// zqvideo's frame loop on a virtual camera: preview, capture, the page
// list, the manual crop, book mode, the resolution list and the settings
// controls.
#include "gui_book_harness.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTransform>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace zq::sim;

namespace
{

// The modalias of the camera behind the button "视频2".
const char *const kSecondCameraId = "usb:v0AC8p3580d0100dcEFdsc02dp01ic0Eisc01ip00in00";

QRegularExpression captureName(const char *suffix)
{
    return QRegularExpression(QString("^\\d{17}\\%1$").arg(suffix));
}

// The rendered frame turned as the rotation index turns it.
QImage turned(const QImage &frame, int rota)
{
    static const int degrees[] = {0, 90, -90, 180};
    return frame.transformed(QTransform().rotate(degrees[rota]));
}

QImage fittedToLabel(const QImage &frame)
{
    return frame.scaled(640, 480, Qt::KeepAspectRatio, Qt::FastTransformation);
}

// The first luminance quantiser of a JPEG file, which tells its quality.
int firstQuantiser(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray data = f.readAll();
    const int dqt = data.indexOf("\xff\xdb");
    return dqt < 0 ? -1 : uchar(data[dqt + 5]);
}

// The page's thumbnail: its file at 100 x 100, aspect ratio ignored.
bool showsThumbnailOf(const QListWidgetItem *item, const QString &path)
{
    const QImage thumbnail = item->icon().pixmap(100, 100).toImage();
    const QImage file = expectedThumbnail(QImage(path));
    return thumbnail.size() == QSize(100, 100) && meanDifference(thumbnail, file) < 8;
}

} // namespace

class FrameTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void init() { startFresh(); }
    void cleanup() { finish(); }

    // ---- preview ------------------------------------------------------------

    void rotation_data()
    {
        QTest::addColumn<int>("rota");
        QTest::addColumn<QSize>("preview");
        QTest::newRow("normal") << 0 << QSize(640, 360);
        QTest::newRow("right") << 1 << QSize(270, 480);
        QTest::newRow("left") << 2 << QSize(270, 480);
        QTest::newRow("upside down") << 3 << QSize(640, 360);
    }

    void rotation()
    {
        QFETCH(int, rota);
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        ZqConfig settings = startSettings(1280, 720, saveDir->path());
        settings.rota = rota;
        start(settings);
        tick(*window);
        const QImage preview = previewOf(*window);
        QTEST(preview.size(), "preview");
        // The expected turn is the closest match of the four, and close.
        const QImage frame = renderedFrame(cam);
        double best = 255;
        int bestRota = -1;
        for (int r = 0; r < 4; ++r) {
            const double d = meanDifference(preview, fittedToLabel(turned(frame, r)));
            if (d < best) {
                best = d;
                bestRota = r;
            }
        }
        QCOMPARE(bestRota, rota);
        QVERIFY2(best < 6, qPrintable(QString::number(best)));
    }

    void rotatedCaptureHasTurnedSize()
    {
        ZqConfig settings = withCamera1280x720();
        settings.rota = 1;
        const QStringList files = startAndCapture(settings);
        QCOMPARE(files.size(), 1);
        QCOMPARE(QImage(saveDir->filePath(files[0])).size(), QSize(720, 1280));
        QCOMPARE(g_Config.width, 1280); // the configuration keeps the camera size
    }

    void grey()
    {
        ZqConfig settings = withCamera1280x720();
        settings.color = 1;
        settings.rota = 2;
        start(settings);
        tick(*window);
        const QImage preview = previewOf(*window);
        QCOMPARE(preview.size(), QSize(270, 480));
        int coloured = 0;
        for (int y = 0; y < preview.height(); y += 7)
            for (int x = 0; x < preview.width(); x += 7) {
                const QRgb p = preview.pixel(x, y);
                coloured += !(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
            }
        QCOMPARE(coloured, 0);
    }

    void blackWhileSwitchingAndAfterFailedOpen()
    {
        hw().addCamera(0, camera1280x720());
        CameraConfig busy = camera1280x720();
        busy.modalias = kSecondCameraId;
        hw().addCamera(1, busy).failRequest(kRequestOpen, 1, EBUSY);
        start(startSettings(1280, 720, saveDir->path()));
        tick(*window);
        QVERIFY(!isBlack(previewOf(*window)));
        QVERIFY(DialogStub::pauses.empty());

        QTest::mousePress(widget<QPushButton>(*window, "pushButton_2"), Qt::LeftButton);
        QCOMPARE(DialogStub::pauses, std::list<unsigned>{500000});
        QVERIFY(fd < 0);
        QCOMPARE(MainWindowProbe(*window).cameraIndex(), 2);
        QVERIFY(isBlack(previewOf(*window)));
        QCOMPARE(previewOf(*window).size(), QSize(640, 480));
        QVERIFY(window->statusBar()->currentMessage().contains(QString::fromUtf8("无法打开视频2")));
        tick(*window); // nothing to read: the picture stays black
        QVERIFY(isBlack(previewOf(*window)));

        QTest::mousePress(widget<QPushButton>(*window, "pushButton"), Qt::LeftButton);
        QCOMPARE(DialogStub::pauses.size(), size_t(1)); // nothing was open to close
        QVERIFY(fd > 0);
        QVERIFY(isBlack(previewOf(*window)));
        tick(*window);
        QVERIFY(!isBlack(previewOf(*window)));
    }

    void openPrintsGrantedSize()
    {
        start(withCamera1280x720());
        fflush(stdout);
        QTemporaryFile out;
        QVERIFY(out.open());
        const int saved = dup(STDOUT_FILENO);
        dup2(out.handle(), STDOUT_FILENO);
        window->ShowVideo(1, true);
        fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        out.seek(0);
        QCOMPARE(out.readAll(), QByteArray("w=1280, h=720\n"));
    }

    void stalledOrUnpluggedCamera()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        tick(*window);
        const int delivered = cam.framesDelivered();
        cam.stopFrames();
        pressCapture();
        tick(*window); // the read gives up; the tick ends
        QVERIFY(MainWindowProbe(*window).captureRequested());
        cam.stopFrames(false);
        tick(*window); // the waiting request is taken by the next frame
        QVERIFY(!MainWindowProbe(*window).captureRequested());
        QCOMPARE(filesIn(saveDir->path()).size(), 1);
        QVERIFY(cam.framesDelivered() > delivered);

        cam.unplug();
        tick(*window);
        hw().addCamera(0, camera1280x720()); // plugged in again
        QTest::mousePress(widget<QPushButton>(*window, "pushButton"), Qt::LeftButton);
        QVERIFY(fd > 0);
        tick(*window);
        QVERIFY(!isBlack(previewOf(*window)));
    }

    // Frames that stop are said in the status bar, and a capture asked for
    // just before is dropped once the picture is gone.  An unplugged camera
    // is closed and said, and opened again by itself once it is back.
    void cameraThatStallsOrGoesAway()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        tick(*window);
        cam.stopFrames();
        pressCapture();
        QTRY_COMPARE_WITH_TIMEOUT(cameraState(), QString::fromUtf8("摄像头无画面"), 5000);
        QVERIFY(!MainWindowProbe(*window).captureRequested());
        cam.stopFrames(false);
        QTRY_VERIFY(cameraState().isEmpty());
        QCOMPARE(filesIn(saveDir->path()).size(), 0);

        cam.unplug();
        QTRY_COMPARE_WITH_TIMEOUT(cameraState(),
                                  QString::fromUtf8("摄像头已断开，接回后会自动打开"), 5000);
        QCOMPARE(fd, -1);
        QVERIFY(isBlack(previewOf(*window)));
        cam.plugIn();
        QTRY_VERIFY_WITH_TIMEOUT(fd > 0 && cameraState().isEmpty(), 3000);
        QTRY_VERIFY(!isBlack(previewOf(*window)));
    }

    // The buttons of cameras that are not plugged in are disabled, say why
    // and do nothing.  A camera plugged in later gets its button back.
    void absentCamerasButtons()
    {
        start(withCamera1280x720());
        auto *second = widget<QPushButton>(*window, "pushButton_2");
        QVERIFY(widget<QPushButton>(*window, "pushButton")->isEnabled());
        QVERIFY(!second->isEnabled());
        QVERIFY(!widget<QPushButton>(*window, "pushButton_9")->isEnabled());
        QVERIFY2(second->toolTip().contains(QString::fromUtf8("没有找到")),
                 qPrintable(second->toolTip()));

        QTest::mousePress(second, Qt::LeftButton); // does nothing
        QCOMPARE(MainWindowProbe(*window).cameraIndex(), 1);
        QVERIFY(fd > 0);

        CameraConfig other = camera1280x720();
        other.modalias = kSecondCameraId;
        hw().addCamera(1, other);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton"), Qt::LeftButton);
        QVERIFY(second->isEnabled());
    }

    // Without a frame in view (none yet, or none for more than a second) a
    // capture is refused with a message, and frames coming back take none.
    void captureWithoutFrameIsRefused()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        auto *button = widget<QPushButton>(*window, "pushButton_3");
        QTest::mousePress(button, Qt::LeftButton);
        QVERIFY(!MainWindowProbe(*window).captureRequested());
        const QString refusal = window->statusBar()->currentMessage();
        QVERIFY(refusal.contains(QString::fromUtf8("没有画面")));
        tick(*window);
        QCOMPARE(filesIn(saveDir->path()).size(), 0);

        cam.stopFrames();
        QTest::qWait(1100);
        tick(*window);
        window->statusBar()->clearMessage();
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(window->statusBar()->currentMessage(), refusal);
        cam.stopFrames(false);
        tick(*window);
        tick(*window);
        QVERIFY(!isBlack(previewOf(*window)));
        QCOMPARE(filesIn(saveDir->path()).size(), 0);
    }

    // ---- capture --------------------------------------------------------------

    void wholeFrameJpeg()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        pressCapture();
        QVERIFY(MainWindowProbe(*window).captureRequested());
        tick(*window);
        QVERIFY(!MainWindowProbe(*window).captureRequested());
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 1);
        QVERIFY(captureName(".jpg").match(files[0]).hasMatch());
        const QString path = saveDir->filePath(files[0]);
        QVERIFY(meanDifference(QImage(path), renderedFrame(cam)) < 4);
        QCOMPARE(firstQuantiser(path), 13); // quality 60

        auto *list = widget<QListWidget>(*window, "listWidget");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), files[0]);
        QCOMPARE(list->item(0)->data(Qt::UserRole).toString(), path);
        QTRY_VERIFY(showsThumbnailOf(list->item(0), path));
        QVERIFY(window->statusBar()->currentMessage().contains(files[0]));
    }

    void qualityIndexEightWritesNinety()
    {
        ZqConfig settings = withCamera1280x720();
        settings.quality = 8;
        QCOMPARE(firstQuantiser(saveDir->filePath(startAndCapture(settings).value(0))), 3);
    }

    void tiff()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        ZqConfig settings = startSettings(1280, 720, saveDir->path());
        settings.picture_format = 1;
        const QStringList files = startAndCapture(settings);
        QCOMPARE(files.size(), 1);
        QVERIFY(captureName(".tiff").match(files[0]).hasMatch());
        QVERIFY(meanDifference(QImage(saveDir->filePath(files[0])), renderedFrame(cam)) < 4);
        QTRY_VERIFY(showsThumbnailOf(widget<QListWidget>(*window, "listWidget")->item(0),
                                     saveDir->filePath(files[0])));
    }

    void automaticCropWritesTheDeskewedPage()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        ZqConfig settings = startSettings(1280, 720, saveDir->path());
        settings.cutting_mode = 2;
        const QImage page(saveDir->filePath(startAndCapture(settings).value(0)));
        const auto corners = pageCorners(cam.config().scene, 1280, 720);
        const double pageWidth =
            std::hypot(corners[1].x - corners[0].x, corners[1].y - corners[0].y);
        const double pageHeight =
            std::hypot(corners[3].x - corners[0].x, corners[3].y - corners[0].y);
        QVERIFY2(std::abs(page.width() - pageWidth) < pageWidth * 0.05,
                 qPrintable(QString("%1 vs %2").arg(page.width()).arg(pageWidth)));
        QVERIFY2(std::abs(page.height() - pageHeight) < pageHeight * 0.05,
                 qPrintable(QString("%1 vs %2").arg(page.height()).arg(pageHeight)));
        const std::vector<uint8_t> truth =
            renderPage(cam.config().scene, page.width(), page.height());
        // Compared coarsely: the lines of text need not meet pixel for pixel.
        const double d = meanDifference(
            coarse(page), coarse(frameImage(truth.data(), page.width(), page.height())));
        QVERIFY2(d < 25, qPrintable(QString::number(d)));
        const QImage wholeFrame = renderedFrame(cam).scaled(page.size());
        QVERIFY(meanDifference(coarse(wholeFrame), coarse(page)) > 2 * d);
    }

    // The preview finds the page on a frame decoded at half size and turned;
    // the capture cuts it from the whole frame as a search there would.
    void automaticCropCutsAsTheWholeFrameWould()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        ZqConfig settings = startSettings(1920, 1080, saveDir->path());
        settings.cutting_mode = 2;
        settings.rota = 1;
        settings.picture_format = PictureFormat::Tiff; // without a JPEG's losses
        const QImage page(saveDir->filePath(startAndCapture(settings).value(0)));

        std::vector<uint8_t> frame = renderedBytes(cam);
        QVERIFY(!frame.empty());
        zq_scanner_picture_rotate_90(frame.data(), 1920, 1080);
        zq_scanner_picture_rotate_90(frame.data(), 1080, 1920);
        zq_scanner_picture_rotate_90(frame.data(), 1920, 1080);
        QCOMPARE(zq_scanner_cutting_edge_auto(frame.data(), 1080, 1920), 0);
        std::vector<uint8_t> cut(frame.size());
        int w = 0;
        int h = 0;
        QCOMPARE(zq_scanner_cutting_edge_do(frame.data(), 1080, 1920, cut.data(), int(cut.size()),
                                            &w, &h),
                 0);
        QVERIFY2(
            std::abs(page.width() - w) <= 1 && std::abs(page.height() - h) <= 1,
            qPrintable(
                QString("%1 x %2 vs %3 x %4").arg(page.width()).arg(page.height()).arg(w).arg(h)));
        // The outlines may differ by a fraction of a pixel, which moves the
        // edges of the print: compared coarsely.
        const double d = meanDifference(coarse(page), coarse(frameImage(cut.data(), w, h)));
        QVERIFY2(d < 1, qPrintable(QString::number(d)));
    }

    // While a capture cuts by the library's records on its worker, the
    // preview goes on without searching, and a capture asked for meanwhile
    // waits for a tick that searched.
    void tickWhileACaptureHoldsTheRecords()
    {
        ZqConfig settings = withCamera1280x720();
        settings.cutting_mode = 2;
        start(settings);
        pressCapture();
        {
            const std::lock_guard<std::mutex> held(libraryRecords());
            tick(*window);
            QVERIFY(!isBlack(previewOf(*window)));
            QVERIFY(MainWindowProbe(*window).captureRequested());
        }
        QCOMPARE(filesIn(saveDir->path()).size(), 0);
        tick(*window);
        QCOMPARE(filesIn(saveDir->path()).size(), 1);
    }

    // A camera without MJPEG streams converted frames: they are shown and
    // captured whole as before.
    void cameraWithoutMjpeg()
    {
        CameraConfig config = camera1280x720();
        config.formats = {{V4L2_PIX_FMT_YUYV, {FrameSize::discrete(1280, 720)}}};
        VirtualCamera &cam = hw().addCamera(0, config);
        start(startSettings(1280, 720, saveDir->path()));
        pressCapture();
        tick(*window);
        QVERIFY(meanDifference(previewOf(*window), fittedToLabel(renderedFrame(cam))) < 6);
        const QImage file(saveDir->filePath(filesIn(saveDir->path()).value(0)));
        QVERIFY(meanDifference(file, renderedFrame(cam)) < 4);
    }

    // Seen from a head leaning far forward, a page is flattened to its own
    // proportions: here into more pixels than the frame has.
    void automaticCropFlattensAPageLargerThanTheFrame()
    {
        PageScene steep;
        steep.pageWidth = 0.55;
        steep.tiltDeg = 62;
        const auto [cam, page] = captureInAutomaticCrop(steep);
        QVERIFY2(page.width() * page.height() > 1280 * 720,
                 qPrintable(QString("%1 x %2").arg(page.width()).arg(page.height())));
        QVERIFY(std::abs(double(page.height()) / page.width() / steep.aspect - 1) < 0.02);
        // The far end, seen at a slant, is blurred: the page is compared
        // with what the whole frame would have given.
        const std::vector<uint8_t> truth = renderPage(steep, page.width(), page.height());
        const QImage upright = frameImage(truth.data(), page.width(), page.height());
        const double d = meanDifference(coarse(page), coarse(upright));
        const QImage wholeFrame = renderedFrame(cam).scaled(page.size());
        QVERIFY2(2 * d < meanDifference(coarse(wholeFrame), coarse(upright)),
                 qPrintable(QString::number(d)));
    }

    void automaticCropWithoutPageWritesWholeFrame()
    {
        PageScene empty = offCentrePage();
        empty.pageWidth = 0.0;
        const auto [cam, file] = captureInAutomaticCrop(empty);
        QVERIFY(meanDifference(file, renderedFrame(cam)) < 4);
    }

    // The saved page is what the preview showed under the drag, whatever
    // the bands beside the picture and its turn.
    void manualCrop_data()
    {
        QTest::addColumn<int>("rota");
        QTest::addColumn<QRect>("drag");
        QTest::newRow("16:9") << 0 << QRect(QPoint(100, 100), QPoint(300, 240));
        QTest::newRow("16:9 turned") << 1 << QRect(QPoint(40, 100), QPoint(200, 400));
    }

    void manualCrop()
    {
        QFETCH(int, rota);
        QFETCH(QRect, drag);
        ZqConfig settings = withCamera1280x720();
        settings.cutting_mode = 1;
        settings.rota = rota;
        // No drag yet: the whole frame.
        const QSize frame = rota == 0 ? QSize(1280, 720) : QSize(720, 1280);
        QCOMPARE(QImage(saveDir->filePath(startAndCapture(settings).value(0))).size(), frame);

        auto *label = widget<CamLabel>(*window, "label_V");
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, drag.topLeft());
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, drag.bottomRight());
        QTest::qWait(2); // a distinct time stamp for the second file
        pressCapture();
        tick(*window);
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 2);
        const QImage cut = QImage(saveDir->filePath(files[1]))
                               .scaled(drag.width() - 1, drag.height() - 1, Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation);
        const QImage shown = label->grab().toImage();
        const auto underDrag = [&](QPoint shift) {
            return meanDifference(cut, shown.copy(drag.adjusted(0, 0, -1, -1).translated(shift)));
        };
        // The preview is scaled fast and carries the outline: close, and
        // closer than a few pixels beside.
        const double d = underDrag({0, 0});
        QVERIFY2(d < 25, qPrintable(QString::number(d)));
        for (QPoint shift : {QPoint(4, 0), QPoint(-4, 0), QPoint(0, 4), QPoint(0, -4)})
            QVERIFY2(underDrag(shift) > 1.3 * d, qPrintable(QString::number(underDrag(shift))));
    }

    void clearBackgroundWithRotation()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        ZqConfig settings = startSettings(1280, 720, saveDir->path());
        settings.rota = 2;
        settings.clear_background = 1;
        const QStringList files = startAndCapture(settings);
        std::vector<uint8_t> expected = renderedBytes(cam);
        QVERIFY(!expected.empty());
        zq_scanner_picture_rotate_90(expected.data(), 1280, 720);
        zq_scanner_clear_background(expected.data(), 720, 1280);
        const QImage cleared = frameImage(expected.data(), 720, 1280);
        const QImage file(saveDir->filePath(files.value(0)));
        QVERIFY(meanDifference(file, cleared) < 6);
        QVERIFY(meanDifference(file, turned(renderedFrame(cam), 2)) > 10);
        const double shown = meanDifference(previewOf(*window), fittedToLabel(cleared));
        QVERIFY2(shown < 10, qPrintable(QString::number(shown))); // uncleared: over 60
    }

    void rightButtonAndRepeatedPresses()
    {
        start(withCamera1280x720());
        tick(*window);
        auto *button = widget<QPushButton>(*window, "pushButton_3");
        QTest::mousePress(button, Qt::RightButton);
        QTest::mouseRelease(button, Qt::RightButton);
        QVERIFY(MainWindowProbe(*window).captureRequested());
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mousePress(button, Qt::LeftButton);
        tick(*window);
        tick(*window);
        QCOMPARE(filesIn(saveDir->path()).size(), 1);
        QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), 1);
    }

    void noDirectoryAtTheTick()
    {
        start(withCamera1280x720());
        pressCapture();
        g_Config.save_dir[0] = '\0';
        tick(*window);
        QVERIFY(!MainWindowProbe(*window).captureRequested());
        QCOMPARE(filesIn(saveDir->path()).size(), 0);
        QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), 0);

        pressCapture(); // an empty directory fails the check at the press
        QCOMPARE(DialogStub::errorBoxes, 1);
        QVERIFY(!MainWindowProbe(*window).captureRequested());
    }

    // A directory that passes the check but cannot take files (/proc, even
    // for root): no page appears, and the status bar says so.
    void unwritableDirectoryAddsNoPage()
    {
        hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, "/proc"));
        MainWindowProbe(*window).pdfRecording() = true;
        pressCapture();
        tick(*window);
        QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), 0);
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
        const auto *failure = window->findChild<QLabel *>("saveFailure");
        QVERIFY2(failure->text().startsWith(QString::fromUtf8("无法保存")) &&
                     failure->text().contains(QString::fromLocal8Bit(strerror(ENOENT))),
                 qPrintable(failure->text()));
    }

    // ---- page list -------------------------------------------------------------

    // A page whose file was deleted elsewhere leaves the list and the PDF
    // collection when it is deleted here, with nothing to take back.
    void deletingAPageAlreadyGone()
    {
        start(withCamera1280x720());
        MainWindowProbe(*window).pdfRecording() = true;
        const QStringList files = captureSeveral(2);
        QVERIFY(QFile::remove(saveDir->filePath(files[0])));
        auto *list = widget<QListWidget>(*window, "listWidget");
        list->selectAll();
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QCOMPARE(list->count(), 0);
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
        QCOMPARE(filesIn(testTrashDir() + "/files"), QStringList{files[1]});
        QVERIFY(window->statusBar()->currentMessage().endsWith(files[0]));
        pressUndo();
        QCOMPARE(textsOf(list), QStringList{files[1]});
    }

    // Deleted pages go to the trash; Ctrl+Z brings them back to their
    // files, rows and places in the PDF list.
    void deleteSelected()
    {
        start(withCamera1280x720());
        MainWindowProbe(*window).pdfRecording() = true;
        const QStringList files = captureSeveral(2);
        const std::list<std::string> collected = MainWindowProbe(*window).pdfImageList();
        auto *list = widget<QListWidget>(*window, "listWidget");
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QCOMPARE(list->count(), 2); // nothing selected: nothing happens

        list->item(0)->setSelected(true);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), files[1]);
        QCOMPARE(filesIn(saveDir->path()), QStringList{files[1]});
        QCOMPARE(filesIn(testTrashDir() + "/files"), QStringList{files[0]});
        QCOMPARE(MainWindowProbe(*window).pdfImageList(), std::list<std::string>{collected.back()});
        QCOMPARE(window->statusBar()->currentMessage(),
                 QString::fromUtf8("已将 1 页移到回收站，按 Ctrl+Z 可恢复"));

        pressUndo();
        QCOMPARE(textsOf(list), files);
        QCOMPARE(filesIn(saveDir->path()), files);
        QVERIFY(filesIn(testTrashDir() + "/files").isEmpty());
        QVERIFY(filesIn(testTrashDir() + "/info").isEmpty());
        QCOMPARE(MainWindowProbe(*window).pdfImageList(), collected);
        QCOMPARE(window->statusBar()->currentMessage(), QString::fromUtf8("已从回收站恢复 1 页"));
    }

    void deleteAll()
    {
        start(withCamera1280x720());
        MainWindowProbe(*window).pdfRecording() = true;
        const QStringList files = captureSeveral(3);
        const std::list<std::string> collected = MainWindowProbe(*window).pdfImageList();
        QCOMPARE(collected.size(), size_t(3));
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_5"), Qt::LeftButton);
        auto *list = widget<QListWidget>(*window, "listWidget");
        QCOMPARE(list->count(), 0);
        QVERIFY(filesIn(saveDir->path()).isEmpty());
        QCOMPARE(filesIn(testTrashDir() + "/files"), files);
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
        QVERIFY(window->statusBar()->currentMessage().startsWith(
            QString::fromUtf8("已将 3 页移到回收站")));

        pressUndo();
        QCOMPARE(textsOf(list), files);
        QCOMPARE(filesIn(saveDir->path()), files);
        QCOMPARE(MainWindowProbe(*window).pdfImageList(), collected);
    }

    // Each Ctrl+Z takes back one more deletion; a page whose name was taken
    // meanwhile stays in the trash.
    void undoStepsBack()
    {
        start(withCamera1280x720());
        QAction *undo = window->findChild<QAction *>("actionUndoDelete");
        const QMenu *edit = window->findChild<QMenu *>("menuEdit");
        QVERIFY(window->menuBar()->actions().contains(edit->menuAction()));
        QCOMPARE(edit->title(), QString::fromUtf8("编辑"));
        QCOMPARE(edit->actions().value(0), undo);
        QVERIFY(!undo->isEnabled());

        const QStringList files = captureSeveral(3);
        auto *list = widget<QListWidget>(*window, "listWidget");
        for (int i = 0; i < 2; ++i) {
            list->item(1)->setSelected(true);
            QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        }
        QCOMPARE(textsOf(list), QStringList{files[0]});
        QVERIFY(undo->isEnabled());
        pressUndo();
        QCOMPARE(textsOf(list), (QStringList{files[0], files[2]}));
        pressUndo();
        QCOMPARE(textsOf(list), files);
        QVERIFY(!undo->isEnabled());

        list->item(0)->setSelected(true);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QFile taken(saveDir->filePath(files[0]));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.close();
        pressUndo();
        QCOMPARE(list->count(), 2);
        QVERIFY(window->statusBar()->currentMessage().startsWith(
            files[0] + QString::fromUtf8(" 无法从回收站恢复：")));
        QCOMPARE(filesIn(testTrashDir() + "/files"), QStringList{files[0]});
    }

    // A file the user may not move stays where it is, and so does its page.
    void pageThatCannotGoToTheTrashStays()
    {
        start(withCamera1280x720());
        MainWindowProbe(*window).pdfRecording() = true;
        const QStringList files = captureSeveral(2);
        QVERIFY(chmod(QFile::encodeName(saveDir->path()).constData(), 0755) == 0);
        QTemporaryDir home; // the user's own, with room for a trash
        const QByteArray homePath = QFile::encodeName(home.path());
        QVERIFY(chown(homePath.constData(), 65534, 65534) == 0);
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(100);
            setenv("HOME", homePath.constData(), 1);
            setenv("XDG_DATA_HOME", homePath.constData(), 1);
            QTest::mousePress(widget<QPushButton>(*window, "pushButton_5"), Qt::LeftButton);
            const QString message = window->statusBar()->currentMessage();
            const bool kept =
                widget<QListWidget>(*window, "listWidget")->count() == 2 &&
                MainWindowProbe(*window).pdfImageList().size() == 2 &&
                message.startsWith(files[0] + QString::fromUtf8(" 无法移到回收站：")) &&
                message.contains("Permission denied") && message.contains(files[1]);
            _exit(kept ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(filesIn(saveDir->path()), files);
    }

    // Each save directory has its own page list; a page deleted acts on
    // its own file, not on one of its name in the directory chosen last.
    void deleteAfterDirectoryChange()
    {
        start(withCamera1280x720());
        const QStringList files = captureSeveral(1);
        QTemporaryDir other;
        QFile twin(other.filePath(files[0]));
        QVERIFY(twin.open(QIODevice::WriteOnly));
        twin.close();
        DialogStub::answer = other.path();
        QTest::mouseClick(widget<QPushButton>(*window, "pushButton_6"), Qt::LeftButton);
        QCOMPARE(QString::fromUtf8(g_Config.save_dir), other.path());
        auto *list = widget<QListWidget>(*window, "listWidget");
        QCOMPARE(list->count(), 0);
        DialogStub::answer = saveDir->path();
        QTest::mouseClick(widget<QPushButton>(*window, "pushButton_6"), Qt::LeftButton);

        QCOMPARE(list->count(), 1);
        list->item(0)->setSelected(true);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QVERIFY(filesIn(saveDir->path()).isEmpty());
        QCOMPARE(filesIn(other.path()), QStringList{files[0]});
    }

    // A directory name is bytes, not text: one in Latin-1 takes pages, but
    // the trash cannot name their files in a UTF-8 locale, so they stay.
    void deleteInDirectoryNamedInLatin1()
    {
        hw().addCamera(0, camera1280x720());
        const QByteArray dir = QFile::encodeName(saveDir->path()) + "/caf\xe9";
        QVERIFY(mkdir(dir.constData(), 0700) == 0);
        ZqConfig settings = startSettings(1280, 720, QString());
        strcpy(settings.save_dir, dir.constData());
        start(settings);
        MainWindowProbe(*window).pdfRecording() = true;
        pressCapture();
        tick(*window);
        auto *list = widget<QListWidget>(*window, "listWidget");
        QCOMPARE(list->count(), 1);
        const QByteArray page = dir + "/" + list->item(0)->text().toUtf8();
        QVERIFY(access(page.constData(), F_OK) == 0);

        list->item(0)->setSelected(true);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_5"), Qt::LeftButton);
        QCOMPARE(list->count(), 1);
        QVERIFY(access(page.constData(), F_OK) == 0);
        QCOMPARE(MainWindowProbe(*window).pdfImageList(), std::list<std::string>{page.constData()});
        QVERIFY(
            window->statusBar()->currentMessage().contains(QString::fromUtf8("无法移到回收站")));
        QVERIFY(unlink(page.constData()) == 0);
        QVERIFY(rmdir(dir.constData()) == 0); // QTemporaryDir cannot name it
    }

    // ---- manual crop ---------------------------------------------------------

    // The picture lies inside the label's one-pixel frame line, at the
    // left, centred in height.
    void dragMapping_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QPoint>("lt");
        QTest::addColumn<QPoint>("rb");
        QTest::newRow("forward") << QSize(1280, 960) << QPoint(100, 100) << QPoint(300, 200)
                                 << QPoint(198, 200) << QPoint(598, 400);
        QTest::newRow("backward") << QSize(1280, 960) << QPoint(300, 200) << QPoint(100, 100)
                                  << QPoint(598, 400) << QPoint(198, 200);
        QTest::newRow("right of the label")
            << QSize(640, 480) << QPoint(100, 100) << QPoint(700, 100) << QPoint(99, 100)
            << QPoint(640, 100);
        QTest::newRow("left of the label") << QSize(640, 480) << QPoint(100, 100)
                                           << QPoint(-30, 100) << QPoint(99, 100) << QPoint(0, 100);
        // 640 x 360 shown from y 60: the bands above and below map to the edges.
        QTest::newRow("16:9") << QSize(1280, 720) << QPoint(100, 100) << QPoint(300, 240)
                              << QPoint(198, 80) << QPoint(598, 360);
        QTest::newRow("16:9 from band to band")
            << QSize(1280, 720) << QPoint(50, 30) << QPoint(600, 450) << QPoint(98, 0)
            << QPoint(1198, 720);
        // 270 x 480 shown at the left: the band is at the right.
        QTest::newRow("16:9 turned") << QSize(720, 1280) << QPoint(100, 100) << QPoint(400, 240)
                                     << QPoint(264, 266) << QPoint(720, 640);
    }

    void dragMapping()
    {
        QFETCH(QSize, frame);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        start(startSettings(640, 480, saveDir->path()));
        auto *label = widget<CamLabel>(*window, "label_V");
        zqPoint lt{-7, -7};
        zqPoint rb{-7, -7};
        QVERIFY(!window->_getCuttingEdge(frame.width(), frame.height(), lt, rb));
        QCOMPARE(lt.x, -7); // untouched without a drag

        widget<QComboBox>(*window, "cutting")->setCurrentIndex(1);
        QCOMPARE(label->cropState, int(CamLabel::Armed));
        QVERIFY(!window->_getCuttingEdge(frame.width(), frame.height(), lt, rb));
        QTest::mousePress(label, Qt::RightButton, Qt::NoModifier, from);
        moveMouse(label, (from + to) / 2);
        QCOMPARE(label->cropState, int(CamLabel::Dragging));
        QCOMPARE(label->endPoint.x, (from.x() + to.x()) / 2);
        QVERIFY(window->_getCuttingEdge(frame.width(), frame.height(), lt, rb));
        QTest::mouseRelease(label, Qt::RightButton, Qt::NoModifier, to);
        QCOMPARE(label->cropState, int(CamLabel::Done));
        QVERIFY(window->_getCuttingEdge(frame.width(), frame.height(), lt, rb));
        QTEST(QPoint(lt.x, lt.y), "lt");
        QTEST(QPoint(rb.x, rb.y), "rb");
    }

    void dragStates()
    {
        start(startSettings(640, 480, saveDir->path()));
        auto *label = widget<CamLabel>(*window, "label_V");
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(label->cropState, int(CamLabel::Idle)); // not armed: ignored

        widget<QComboBox>(*window, "cutting")->setCurrentIndex(1);
        moveMouse(label, QPoint(50, 50));
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
        QCOMPARE(label->cropState, int(CamLabel::Armed));
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(110, 120));
        moveMouse(label, QPoint(400, 400)); // after the release: ignored
        QCOMPARE(label->endPoint.x, 110);
        QCOMPARE(label->endPoint.y, 120);

        // A press after a finished drag starts a new one.
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(200, 210));
        QCOMPARE(label->startPoint.x, 200);
        QCOMPARE(label->cropState, int(CamLabel::Dragging));
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(250, 260));

        // Another mode keeps the drag; choosing manual crop again drops it.
        widget<QComboBox>(*window, "cutting")->setCurrentIndex(2);
        QCOMPARE(label->cropState, int(CamLabel::Done));
        widget<QComboBox>(*window, "cutting")->setCurrentIndex(1);
        QCOMPARE(label->cropState, int(CamLabel::Armed));
    }

    void dragIsDrawnIntoThePreview()
    {
        hw().addCamera(0, cameraWith({FrameSize::discrete(640, 480)}));
        ZqConfig settings = startSettings(640, 480, saveDir->path());
        settings.cutting_mode = 1;
        start(settings);
        auto *label = widget<CamLabel>(*window, "label_V");
        tick(*window);
        QVERIFY(!isOutline(previewOf(*window).pixel(200, 100)));

        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        moveMouse(label, QPoint(300, 200));
        tick(*window);
        QVERIFY(isOutline(previewOf(*window).pixel(200, 100)));
        moveMouse(label, QPoint(400, 300)); // the outline follows the mouse
        tick(*window);
        QVERIFY(isOutline(previewOf(*window).pixel(400, 200)));
        QVERIFY(!isOutline(previewOf(*window).pixel(300, 150)));
    }

    // A capture's cut by hand leaves nothing behind for the automatic crop
    // to draw on a desk without a page.
    void handCutLeavesNoOutlineBehind()
    {
        PageScene bare = offCentrePage();
        bare.withPage = false;
        hw().addCamera(0, cameraWith({FrameSize::discrete(640, 480)}, bare));
        ZqConfig settings = startSettings(640, 480, saveDir->path());
        settings.cutting_mode = 1;
        start(settings);
        auto *label = widget<CamLabel>(*window, "label_V");
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        pressCapture();
        tick(*window);
        QCOMPARE(filesIn(saveDir->path()).size(), 1);
        widget<QComboBox>(*window, "cutting")->setCurrentIndex(2);
        tick(*window);
        QVERIFY(!isOutline(previewOf(*window).pixel(200, 100)));
    }

    // ---- resolutions ---------------------------------------------------------

    void resolutionList()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        auto *box = widget<QComboBox>(*window, "cbFbl");
        QCOMPARE(itemsOf(box), QStringList{"1280*720"});
        tick(*window);
        QCOMPARE(itemsOf(box), QString("1280*720,640*480,1920*1080").split(','));
        QCOMPARE(box->currentIndex(), 0);

        const int opens = cam.requestCount(kRequestOpen);
        box->setCurrentIndex(0); // already chosen: nothing happens
        QCOMPARE(cam.requestCount(kRequestOpen), opens);

        box->setCurrentIndex(2); // the user chooses 1920*1080
        QCOMPARE(cam.requestCount(kRequestOpen), opens + 1);
        QCOMPARE(DialogStub::pauses.size(), size_t(1));
        QVERIFY(isBlack(previewOf(*window)));
        QCOMPARE(g_Config.width, 1920);
        QCOMPARE(box->currentText(), QString("1920*1080"));
        tick(*window);
        QCOMPARE(itemsOf(box), QString("1920*1080,640*480,1280*720").split(','));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(cam.requestCount(kRequestOpen), opens + 1);
    }

    void firstStartAsksForZeroSize()
    {
        hw().addCamera(0, camera1280x720());
        start(startSettings(0, 0, saveDir->path()));
        auto *box = widget<QComboBox>(*window, "cbFbl");
        QCOMPARE(itemsOf(box).size(), 1);
        QVERIFY(itemsOf(box)[0] != "0*0");
        QCOMPARE(itemsOf(box)[0], QString("%1*%2").arg(g_Config.width).arg(g_Config.height));
    }

    void cameraSwitchDropsOldSizes()
    {
        hw().addCamera(0, camera1280x720());
        CameraConfig second = cameraWith({FrameSize::discrete(800, 600)});
        second.modalias = "usb:v0AC8p3580d0100dcEFdsc02dp01ic0Eisc01ip00in00";
        hw().addCamera(1, second);
        start(startSettings(1280, 720, saveDir->path()));
        tick(*window);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_2"), Qt::LeftButton);
        tick(*window);
        QCOMPARE(itemsOf(widget<QComboBox>(*window, "cbFbl")), QStringList{"800*600"});
    }

    // ---- controls --------------------------------------------------------------

    void settingSlots()
    {
        start(withCamera1280x720());
        const int openFd = fd;
        struct {
            const char *box;
            int index;
            int ZqConfig::*field;
        } const boxes[] = {
            {"cbColor", 1, &ZqConfig::color},
            {"cbRota", 3, &ZqConfig::rota},
            {"jpg_quality", 7, &ZqConfig::quality},
            {"cutting", 2, &ZqConfig::cutting_mode},
            {"pic_format", 1, &ZqConfig::picture_format},
            {"defaultCam", 1, &ZqConfig::default_cam},
        };
        for (const auto &b : boxes) {
            widget<QComboBox>(*window, b.box)->setCurrentIndex(b.index);
            QCOMPARE(g_Config.*b.field, b.index);
        }
        QCOMPARE(fd, openFd); // the default camera takes effect at the next start
        QTest::mouseClick(widget<QCheckBox>(*window, "checkBox"), Qt::LeftButton);
        QCOMPARE(g_Config.clear_background, 1);
        QTest::mouseClick(widget<QCheckBox>(*window, "checkBox"), Qt::LeftButton);
        QCOMPARE(g_Config.clear_background, 0);
    }

    void slidersSetTheCamera()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        widget<QSlider>(*window, "slider_br_3")->setValue(100); // 51200 of 65535
        QCOMPARE(cam.controlValue(V4L2_CID_SATURATION), (51200 * 255 + 32767) / 65535);
        widget<QSlider>(*window, "slider_br")->setValue(128); // 65536: as high as it goes
        QCOMPARE(cam.controlValue(V4L2_CID_BRIGHTNESS), 255);

        window->ShowVideo(2, true); // a camera that is not there
        QVERIFY(fd < 0);
        widget<QSlider>(*window, "slider_br_2")->setValue(10); // no camera: nothing sent
        QCOMPARE(cam.controlValue(V4L2_CID_CONTRAST), 128);
    }

    void slidersFollowTheCamera()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        cam.setControl(V4L2_CID_BRIGHTNESS, 40000);
        cam.setControl(V4L2_CID_CONTRAST, 5000);
        start(startSettings(1280, 720, saveDir->path()));
        QCOMPARE(widget<QSlider>(*window, "slider_br")->value(), 78);
        QCOMPARE(widget<QSlider>(*window, "slider_br_2")->value(), 64);
        // The new position went back to the camera: 78 * 512.
        QCOMPARE(cam.controlValue(V4L2_CID_BRIGHTNESS), (39936 * 255 + 32767) / 65535);
    }

    void defaultBoxes()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        auto *slider = widget<QSlider>(*window, "slider_br");
        auto *box = widget<QCheckBox>(*window, "checkBox_2");
        slider->setValue(20);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(slider->value(), 64);
        QVERIFY(!slider->isEnabled());
        QCOMPARE(cam.controlValue(V4L2_CID_BRIGHTNESS), (32768 * 255 + 32767) / 65535);

        cam.setControl(V4L2_CID_BRIGHTNESS, 40000);
        window->ShowVideo(1, true); // placed from the camera, still held
        QCOMPARE(slider->value(), 78);
        QVERIFY(!slider->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(slider->isEnabled());

        for (const char *pair : {"checkBox_3:slider_br_2", "checkBox_4:slider_br_3"}) {
            const QStringList names = QString(pair).split(':');
            auto *b = window->findChild<QCheckBox *>(names[0]);
            auto *s = window->findChild<QSlider *>(names[1]);
            s->setValue(3);
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(s->value(), 64);
            QVERIFY(!s->isEnabled());
        }
    }

    void chooserReopensTheCamera()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        tick(*window);
        const int opens = cam.requestCount(kRequestOpen);

        QTemporaryDir other;
        DialogStub::answer = other.path();
        QTest::mouseClick(widget<QPushButton>(*window, "pushButton_6"), Qt::LeftButton);
        QVERIFY(fd > 0);
        QCOMPARE(cam.requestCount(kRequestOpen), opens + 1);
        QCOMPARE(widget<QLineEdit>(*window, "lineEdit")->text(), other.path());
        QCOMPARE(itemsOf(widget<QComboBox>(*window, "cbFbl")), QStringList{"1280*720"});
        tick(*window);
        QCOMPARE(itemsOf(widget<QComboBox>(*window, "cbFbl")).size(), 3);

        // A refused directory: the box, and the camera streams on.
        DialogStub::answer = "/no/such/dir";
        QTest::mouseClick(widget<QPushButton>(*window, "pushButton_6"), Qt::LeftButton);
        QCOMPARE(DialogStub::errorBoxes, 1);
        QCOMPARE(QString::fromUtf8(g_Config.save_dir), other.path());
        QVERIFY(fd > 0);
    }

    void cancelledChooserChangesNothing()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        start(startSettings(1280, 720, saveDir->path()));
        tick(*window);
        const QImage before = previewOf(*window);

        DialogStub::answer = QString();
        QTest::mouseClick(widget<QPushButton>(*window, "pushButton_6"), Qt::LeftButton);
        QCOMPARE(DialogStub::errorBoxes, 0);
        QCOMPARE(QString::fromUtf8(g_Config.save_dir), saveDir->path());
        QCOMPARE(widget<QLineEdit>(*window, "lineEdit")->text(), saveDir->path());
        QVERIFY(fd > 0);
        cam.setScene(PageScene{}); // a new picture must reach the preview
        tick(*window);
        QVERIFY(meanDifference(previewOf(*window), before) > 5);
    }

    // ---- picture helper slots --------------------------------------------------

    // ---- book mode ------------------------------------------------------------

    // Both switches are kept in the program's own settings file; the page
    // order is offered only while book mode is on.
    void bookModeIsKept()
    {
        const ZqConfig settings = withCamera1280x720();
        start(settings);
        QVERIFY(!bookMode()->isChecked());
        QVERIFY(!rightPageFirst()->isEnabled());
        bookMode()->trigger();
        QVERIFY(rightPageFirst()->isEnabled());
        rightPageFirst()->trigger();

        start(settings);
        QVERIFY(bookMode()->isChecked());
        QVERIFY(rightPageFirst()->isChecked());
        QVERIFY(rightPageFirst()->isEnabled());
        bookMode()->trigger();
        QVERIFY(!rightPageFirst()->isEnabled());

        start(settings);
        QVERIFY(!bookMode()->isChecked());
        QVERIFY(rightPageFirst()->isChecked());
        QVERIFY(!rightPageFirst()->isEnabled());
        QSettings file(QString::fromStdString(programSettingsPath()), QSettings::IniFormat);
        QCOMPARE(file.value("capture/book").toBool(), false);
        QCOMPARE(file.value("capture/rightPageFirst").toBool(), true);
    }

    // A spread is written as its two pages, NAME-1 and NAME-2, in reading
    // order into the page list and the PDF; each holds its own page's text.
    void bookSpreadGivesTwoPagesInReadingOrder_data()
    {
        QTest::addColumn<bool>("rightFirst");
        QTest::newRow("left page first") << false;
        QTest::newRow("right page first") << true;
    }

    void bookSpreadGivesTwoPagesInReadingOrder()
    {
        QFETCH(bool, rightFirst);
        const BookScene book = openBook();
        startOnBook(book);
        if (rightFirst)
            rightPageFirst()->trigger();
        QTest::mouseClick(widget<QPushButton>(*window, "butten_pdf"), Qt::LeftButton);
        pressCapture();
        tick(*window);
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 2);
        QVERIFY2(captureName("-1.jpg").match(files[0]).hasMatch(), qPrintable(files[0]));
        QCOMPARE(files[1], QString(files[0]).replace("-1.jpg", "-2.jpg"));
        QCOMPARE(textsOf(widget<QListWidget>(*window, "listWidget")), files);
        QCOMPARE(MainWindowProbe(*window).pdfImageList(),
                 (std::list<std::string>{saveDir->filePath(files[0]).toStdString(),
                                         saveDir->filePath(files[1]).toStdString()}));
        const int first = rightFirst ? 1 : 0;
        QCOMPARE(bookSideShown(book, QImage(saveDir->filePath(files[0]))), first);
        QCOMPARE(bookSideShown(book, QImage(saveDir->filePath(files[1]))), 1 - first);
    }

    // The pages of a spread come in one tick, before their thumbnails: no
    // page may lie over another once the thumbnails are there.
    void spreadPagesKeepTheirPlacesInTheList()
    {
        startOnBook(openBook());
        for (int spread = 0; spread < 2; ++spread) {
            QTest::qWait(2);
            pressCapture();
            tick(*window);
        }
        const auto *list = widget<QListWidget>(*window, "listWidget");
        QCOMPARE(list->count(), 4);
        QTRY_VERIFY([&] {
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->icon().isNull())
                    return false;
            return true;
        }());
        window->show();
        for (int i = 1; i < list->count(); ++i)
            QVERIFY2(!list->visualItemRect(list->item(i - 1))
                          .intersects(list->visualItemRect(list->item(i))),
                     qPrintable(QString::number(i)));
    }

    // One curved page lying alone keeps the plain name.
    void bookModeWritesASinglePageUnderItsPlainName()
    {
        BookScene page = openBook();
        page.singlePage = true;
        startOnBook(page);
        pressCapture();
        tick(*window);
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 1);
        QVERIFY2(captureName(".jpg").match(files[0]).hasMatch(), qPrintable(files[0]));
        QCOMPARE(bookSideShown(page, QImage(saveDir->filePath(files[0]))), 1);
    }

    void pictureHelpers()
    {
        start(startSettings(640, 480, saveDir->path()));
        // Pixels numbered 1 2 3 / 4 5 6, each as three equal bytes.
        const auto picture = [] {
            std::vector<uint8_t> p;
            for (uint8_t v = 1; v <= 6; ++v)
                p.insert(p.end(), {v, v, v});
            return p;
        };
        const auto numbers = [](const std::vector<uint8_t> &p) {
            QList<int> n;
            for (size_t i = 0; i < p.size(); i += 3)
                n << p[i];
            return n;
        };
        std::vector<uint8_t> p = picture();
        QVERIFY(window->rgb24_rotate_90(p.data(), 3, 2, false));
        QCOMPARE(numbers(p), (QList<int>{4, 1, 5, 2, 6, 3}));
        p = picture();
        QVERIFY(window->rgb24_rotate_90(p.data(), 3, 2, true));
        QCOMPARE(numbers(p), (QList<int>{3, 6, 2, 5, 1, 4}));
        QVERIFY(!window->rgb24_rotate_90(nullptr, 3, 2, true));

        uint8_t rgb[6] = {10, 20, 33, 255, 255, 254};
        window->rgb24_gray(rgb, 2, 1);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(rgb), 6),
                 QByteArray("\x15\x15\x15\xfe\xfe\xfe", 6));

        // Rows padded to 4 bytes: a 3 x 2 source has rows of 12 bytes, the
        // 2 x 3 result rows of 8 bytes, whose padding stays untouched.
        uint8_t src[24] = {};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                memset(src + y * 12 + x * 3, 1 + y * 3 + x, 3);
        uint8_t dst[24];
        memset(dst, 0xEE, sizeof(dst));
        window->RGB24RotateClockwise90(src, dst, 3, 2);
        const QList<int> rows = {dst[0], dst[3], dst[8], dst[11], dst[16], dst[19]};
        QCOMPARE(rows, (QList<int>{4, 1, 5, 2, 6, 3}));
        QCOMPARE(int(dst[6]), 0xEE);
        memset(dst, 0xEE, sizeof(dst));
        window->RGB24RotateClockwise90(src, dst, 3, 0);
        QCOMPARE(int(dst[0]), 0xEE);
    }

  private:
    QString cameraState() const
    {
        const auto *label = window->findChild<QLabel *>("cameraState");
        return label->isVisibleTo(window.get()) ? label->text() : QString();
    }

    // One capture in automatic crop mode from a 1280x720 camera looking at
    // the scene: the camera and the file written.
    struct AutomaticCapture {
        VirtualCamera &camera;
        QImage file;
    };
    AutomaticCapture captureInAutomaticCrop(const PageScene &scene)
    {
        VirtualCamera &cam = hw().addCamera(0, cameraWith({FrameSize::discrete(1280, 720)}, scene));
        ZqConfig settings = startSettings(1280, 720, saveDir->path());
        settings.cutting_mode = 2;
        start(settings);
        pressCapture();
        tick(*window);
        return {cam, QImage(saveDir->filePath(filesIn(saveDir->path()).value(0)))};
    }

    // One 1280 x 720 camera, and settings that stream it at that size into
    // the save directory.
    ZqConfig withCamera1280x720()
    {
        hw().addCamera(0, camera1280x720());
        return startSettings(1280, 720, saveDir->path());
    }

    void start(const ZqConfig &settings)
    {
        window.reset();
        window = startWindow(settings);
    }

    // Book mode on, in automatic crop, on a 1920x1080 camera looking at
    // the book.
    void startOnBook(const BookScene &book)
    {
        CameraConfig camera = cameraWith({FrameSize::discrete(1920, 1080)});
        // Its clock stands still at the first spread.
        camera.script = std::make_shared<BookScript>(book, [] { return 0.0; });
        hw().addCamera(0, camera);
        ZqConfig settings = startSettings(1920, 1080, saveDir->path());
        settings.cutting_mode = CropMode::Automatic;
        start(settings);
        bookMode()->trigger();
    }

    QAction *bookMode() { return window->findChild<QAction *>("actionBookMode"); }
    QAction *rightPageFirst() { return window->findChild<QAction *>("actionRightPageFirst"); }

    // The capture button, with a frame in view as a capture needs.
    void pressCapture()
    {
        tick(*window);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
    }

    // The files in the save directory after the window, started with these
    // settings, has taken one capture.
    QStringList startAndCapture(const ZqConfig &settings)
    {
        start(settings);
        pressCapture();
        tick(*window);
        return filesIn(saveDir->path());
    }

    void pressUndo()
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    }

    static QStringList textsOf(const QListWidget *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }

    // Captures n pages, each in its own millisecond, and returns their names.
    QStringList captureSeveral(int n)
    {
        for (int i = 0; i < n; ++i) {
            QTest::qWait(2);
            pressCapture();
            tick(*window);
        }
        return filesIn(saveDir->path());
    }

    static QStringList itemsOf(const QComboBox *box)
    {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

    static bool isBlack(const QImage &image)
    {
        if (image.isNull())
            return false;
        for (int y = 0; y < image.height(); y += 5)
            for (int x = 0; x < image.width(); x += 5)
                if (image.pixel(x, y) != qRgb(0, 0, 0))
                    return false;
        return true;
    }

    // A move as the label gets it while a button is held, inside or outside.
    static void moveMouse(QWidget *label, QPoint pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(label, &move);
    }

    static QImage coarse(const QImage &image)
    {
        return image.scaled(image.size() / 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    static bool isOutline(QRgb p) { return qGreen(p) == 255 && qRed(p) < 128; }
};

ZQ_GUI_TEST_MAIN(FrameTest)
#include "gui_frame_test.moc"
