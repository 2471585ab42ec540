// The settings controls: each stores its value for the frame loop, the
// capture and the next start; the sliders set the camera directly.
#include "mainwindow.h"

#include "camlabel.h"
#include "config.h"
#include "savedir.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_scanner.h>

#include <cstring>

namespace
{

// Slider positions 0..128 on the camera's 0..65535 control scale.
constexpr int kControlPerStep = 512;
constexpr int kSliderDefault = 64;

} // namespace

void MainWindow::ColorChanage(int)
{
    g_Config.color = ui->cbColor->currentIndex();
}

void MainWindow::RotaChanage(int)
{
    g_Config.rota = ui->cbRota->currentIndex();
}

void MainWindow::QualityChanage(int)
{
    g_Config.quality = ui->jpg_quality->currentIndex();
}

void MainWindow::CuttingModeChange(int nID)
{
    g_Config.cutting_mode = nID;
    if (nID == CropMode::Manual)
        ui->label_V->cropState = CamLabel::Armed;
}

void MainWindow::OnPictureFormatChanged(int nID)
{
    g_Config.picture_format = nID;
}

void MainWindow::defaultCamChanage(int nID)
{
    g_Config.default_cam = nID;
}

void MainWindow::ClearbackgroundCheckChanged()
{
    g_Config.clear_background = ui->checkBox->isChecked() ? 1 : 0;
}

void MainWindow::BrightnessChanged(int value)
{
    if (fd >= 0)
        zq_scanner_set_brightness(fd, value * kControlPerStep);
}

void MainWindow::ContrastChanged(int value)
{
    if (fd >= 0)
        zq_scanner_set_contrast(fd, value * kControlPerStep);
}

void MainWindow::SaturationChanged(int value)
{
    if (fd >= 0)
        zq_scanner_set_saturation(fd, value * kControlPerStep);
}

void MainWindow::holdSliderAtDefault(const QCheckBox *box, QSlider *slider)
{
    if (box->isChecked()) {
        slider->setValue(kSliderDefault);
        slider->setEnabled(false);
    } else {
        slider->setEnabled(true);
    }
}

void MainWindow::BrightnessCheckChanged()
{
    holdSliderAtDefault(ui->checkBox_2, ui->slider_br);
}

void MainWindow::ContrastCheckChanged()
{
    holdSliderAtDefault(ui->checkBox_3, ui->slider_br_2);
}

void MainWindow::SaturationCheckChanged()
{
    holdSliderAtDefault(ui->checkBox_4, ui->slider_br_3);
}

// The camera is closed while the dialog is open (a frame read would block
// it) and opened again afterwards, whatever the answer.  A cancelled dialog
// changes nothing.
void MainWindow::ClickBt()
{
    if (fd > 0) {
        zq_scanner_close(fd);
        fd = -1;
    }
    const QString answer = hooks.chooseDirectory(this);
    if (!answer.isEmpty())
        takeSaveDirectory(answer);
    ShowVideo(cameraIndex, true);
}

// A directory whose files' paths would not fit is refused like one that
// cannot be reached; so is one whose name holds a line feed, which would
// split its line in the configuration file and shift the lines after it.
void MainWindow::takeSaveDirectory(const QString &answer)
{
    const QByteArray dir = answer.toUtf8();
    if (!dirFitsPaths(dir.constData()) || dir.contains('\n')) {
        showDirError();
        return;
    }
    if (!checkDir(dir.constData()))
        return;
    const bool another = dir != g_Config.save_dir;
    strcpy(g_Config.save_dir, dir.constData());
    ui->lineEdit->setText(answer);
    if (another)
        restorePageList(); // each directory has its own
}
