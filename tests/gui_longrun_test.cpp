// zqvideo's frame loop over a long run: automatic cropping on every frame
// of a 1920 x 1080 camera, with a capture now and then.  Run under the
// sanitizers, it shows that nothing leaks or overruns frame after frame.
#include "gui_frame_harness.h"

#include <QPushButton>

using namespace zq::sim;

class LongRunTest : public QObject
{
    Q_OBJECT

  private slots:
    void tenThousandTicks()
    {
        DialogStub dialogs;
        QTemporaryDir saveDir;
        VirtualCamera &cam = hw().addCamera(0, camera1280x720());
        ZqConfig settings = startSettings(1920, 1080, saveDir.path());
        settings.cutting_mode = 2;
        {
            auto window = startWindow(settings);
            QCOMPARE(g_Config.width, 1920);
            MainWindowProbe(*window).timer()->stop(); // every tick is one of ours
            const int ticks = qEnvironmentVariableIntValue("ZQ_LONGRUN_TICKS") > 0
                                  ? qEnvironmentVariableIntValue("ZQ_LONGRUN_TICKS")
                                  : 10000;
            const int before = cam.framesDelivered();
            for (int i = 1; i <= ticks; ++i) {
                if (i % 2500 == 0) {
                    QTest::qWait(2);
                    QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
                }
                tick(*window);
            }
            QCOMPARE(cam.framesDelivered() - before, ticks);
            QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), ticks / 2500);
        }
        QCOMPARE(hw().openDescriptors(), 0);
        hw().reset();
    }
};

ZQ_GUI_TEST_MAIN(LongRunTest)
#include "gui_longrun_test.moc"
