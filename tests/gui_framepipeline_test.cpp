// The frame pipeline on its own, without a window: what a tick hands back
// and reports with a frame and without one, and what becomes of a capture
// asked for meanwhile.
#include "gui_frame_harness.h"

#include "autocapture.h"
#include "bookcapture.h"
#include "framepipeline.h"

#include <QAction>
#include <QSignalSpy>
#include <QStatusBar>

#include <vector>

using zq::sim::VirtualCamera;

class FramePipelineTest : public QObject
{
    Q_OBJECT

  private slots:
    void init() { startFromNothing(); }
    void cleanup()
    {
        if (fd > 0)
            zq_scanner_close(fd);
        fd = -1;
        hw().reset();
    }

    void tickWithAndWithoutFrame()
    {
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        QTemporaryDir saveDir;
        g_Config = startSettings(1280, 720, saveDir.path());
        g_Config.rota = Rotation::Right;
        fd = zq_scanner_open_index(1);
        QVERIFY(fd > 0);
        zq_scanner_init_preview(fd, &g_Config.width, &g_Config.height);

        QStatusBar statusBar;
        QAction autoSwitch, bookMode, rightPageFirst;
        AutoCapture autoCapture(&autoSwitch, &statusBar, nullptr);
        BookCapture bookCapture(&bookMode, &rightPageFirst, &statusBar, nullptr);
        const auto noDrag = [](int, int, zqPoint &, zqPoint &) { return false; };
        FramePipeline pipeline(&autoCapture, &bookCapture, noDrag, nullptr);
        QSignalSpy arrived(&pipeline, &FramePipeline::frameArrived);
        QSignalSpy none(&pipeline, &FramePipeline::noFrame);
        std::vector<CaptureJob::Outcome> captured;
        QObject::connect(&pipeline, &FramePipeline::captured,
                         [&](const CaptureJob::Outcome &outcome) { captured.push_back(outcome); });
        const FramePipeline::Settings halfSize{2, CropMode::None};
        bool requested = true;

        // Nothing was ever shown: the request is dropped with the tick.
        cam.stopFrames();
        QVERIFY(!pipeline.tick(fd, halfSize, requested).rgb);
        QCOMPARE(none.count(), 1);
        QVERIFY(!requested);

        cam.stopFrames(false);
        const FramePipeline::Frame frame = pipeline.tick(fd, halfSize, requested);
        QVERIFY(frame.rgb);
        QCOMPARE(QSize(frame.width, frame.height), QSize(720 / 2, 1280 / 2));
        QCOMPARE(arrived.count(), 1);
        QVERIFY(captured.empty());

        // The picture is still live: the request waits for the next frame,
        // which takes it.
        cam.stopFrames();
        requested = true;
        QVERIFY(!pipeline.tick(fd, halfSize, requested).rgb);
        QVERIFY(requested);
        cam.stopFrames(false);
        QVERIFY(pipeline.tick(fd, halfSize, requested).rgb);
        QVERIFY(!requested);
        pipeline.finishCaptures();
        QCOMPARE(captured.size(), size_t(1));
        QCOMPARE(captured[0].error, 0);
        QCOMPARE(captured[0].written.size(), size_t(1));
        const QImage page(QFile::decodeName(captured[0].written[0].path));
        QCOMPARE(page.size(), QSize(720, 1280)); // the whole frame, turned
    }
};

ZQ_GUI_TEST_MAIN(FramePipelineTest)
#include "gui_framepipeline_test.moc"
