// The settings controls: each stores its value for the frame loop, the
// capture and the next start; the sliders set the camera directly.  The
// save directory brings its own page list.
#include "mainwindow.h"

#include "camerasliders.h"
#include "camlabel.h"
#include "collectionpdf.h"
#include "config.h"
#include "pagedocument.h"
#include "savedir.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_scanner.h>

#include <QByteArray>

#include <cstring>

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
    sliders->send(fd, CameraSliders::Brightness, value);
}

void MainWindow::ContrastChanged(int value)
{
    sliders->send(fd, CameraSliders::Contrast, value);
}

void MainWindow::SaturationChanged(int value)
{
    sliders->send(fd, CameraSliders::Saturation, value);
}

void MainWindow::BrightnessCheckChanged()
{
    sliders->followBox(CameraSliders::Brightness);
}

void MainWindow::ContrastCheckChanged()
{
    sliders->followBox(CameraSliders::Contrast);
}

void MainWindow::SaturationCheckChanged()
{
    sliders->followBox(CameraSliders::Saturation);
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

void MainWindow::restorePageList()
{
    pdfRecording = pages->restore(QByteArray(g_Config.save_dir));
    collection->showState();
}
