// zqvideo's one window: live preview, capture, page list and settings.
#ifndef ZQVIDEO_MAINWINDOW_H
#define ZQVIDEO_MAINWINDOW_H

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "capturejob.h"
#include "settings.h"

#include <zqscan/zq_opencv.h>

class AutoCapture;
class CollectionPdf;
class FramePipeline;
class LiveView;
class PageViewer;
class PageDocument;
class PagesPdf;
class ResolutionBox;
class CameraSliders;
class CameraSwitches;
class CameraWatch;
class SaveFailure;
class QTimer;
class Ui_MainWindow;

// Descriptor of the open camera; negative (or 0, a failed open) when none.
// It lives in the program's own namespace: libzqscan exports a global of
// the same name (the camera-chip SDK's descriptor), and a second global
// `fd` in the program would take that one's place inside the library.
namespace zqvideo
{
extern int fd;
}
using zqvideo::fd;

class MainWindow : public QMainWindow
{
    Q_OBJECT

  public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The two waits of the window that tests replace: the modal directory
    // chooser and the pause that lets a closed camera settle.
    struct Hooks {
        QString (*chooseDirectory)(QWidget *parent);
        void (*pause)(unsigned microseconds);
    };
    static Hooks hooks;

    void ShowVideo(int index, bool prune);
    void ShowRGB(unsigned char *data, int width, int height);
    void AddImage(QString path, const char *name);
    bool _getCuttingEdge(int width, int height, zqPoint &lt, zqPoint &rb);
    void UpdateResolutions();
    int LoadConfig();
    int SaveConfig();

  public slots:
    void ClickBt();
    void ColorChanage(int nID);
    void RotaChanage(int nID);
    void FblChanage(int nID);
    void QualityChanage(int nID);
    void CuttingModeChange(int nID);
    void BrightnessChanged(int value);
    void ContrastChanged(int value);
    void SaturationChanged(int value);
    void ClearbackgroundCheckChanged();
    void BrightnessCheckChanged();
    void ContrastCheckChanged();
    void SaturationCheckChanged();
    void TimerUpdate();
    void defaultCamChanage(int nID);
    void OnPictureFormatChanged(int nID);
    void RGB24RotateClockwise90(uint8_t *src, uint8_t *dst, int width, int height);
    bool rgb24_rotate_90(unsigned char *src_rgb, unsigned int iWidth, unsigned int iHeight,
                         bool direction);
    void rgb24_gray(unsigned char *rgb, int width, int height);

  private slots:
    void on_butten_pdf_clicked();

  protected:
    bool eventFilter(QObject *obj, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    friend struct MainWindowProbe; // the tests' view of the window's state

    static constexpr int kStatusShortMs = 3000;
    static constexpr int kStatusLongMs = 10000;

    void wireControls();
    void setUpThumbnailList();
    void openCamera1() { openCamera(1); }
    void openCamera2() { openCamera(2); }
    void openCamera3() { openCamera(3); }
    void openCamera(int index);
    void setUpFramePipeline(AutoCapture *autoCapture);
    void setUpCameraWatch(AutoCapture *autoCapture);
    void reportUnkeptSettings();
    void closeLostCamera();
    void takeSaveDirectory(const QString &answer);
    void requestCapture();
    void deleteSelectedPages();
    void deleteAllPages();
    void restorePageList();
    bool mayClose();
    void quit();
    void setUpKeys();
    void setUpPageList();
    void setUpCollectionPdf();
    void watchSessionEnd();
    void setUpViewers();
    void showPageMenu(const QPoint &position);
    void enablePageActions();
    int previewDenominator() const;
    void captureWritten(const CaptureJob::Outcome &outcome);

    Ui_MainWindow *ui;
    const Settings settings; // both files, at this process's places
    QTimer *timer = nullptr;
    int cameraIndex = 0;
    bool captureRequested;
    bool resolutionsListed;
    bool pdfRecording;
    std::list<std::string> pdfImageList;
    PageViewer *pageViewer = nullptr;
    LiveView *liveView = nullptr;
    PageDocument *pages = nullptr;
    bool sessionEnding = false; // the desktop session ends: no questions
    PagesPdf *pagesPdf = nullptr;
    CollectionPdf *collection = nullptr;
    CameraSwitches *cameraSwitches = nullptr;
    std::unique_ptr<const CameraSliders> sliders;
    std::unique_ptr<ResolutionBox> resolutions;
    SaveFailure *saveFailure = nullptr;
    CameraWatch *cameraWatch = nullptr;
    FramePipeline *pipeline = nullptr;
};

#endif
