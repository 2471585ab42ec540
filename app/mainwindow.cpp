// Construction, wiring, the watched buttons, the page list and shutdown.
#include "mainwindow.h"

#include "config.h"
#include "savedir.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_pdf.h>
#include <zqscan/zq_scanner.h>

#include <QCloseEvent>
#include <QFileDialog>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <vector>

int zqvideo::fd = -1;

static const QString g_begin_record_pdf = QString::fromUtf8("开始合成PDF");
static const QString g_stop_record_pdf = QString::fromUtf8("停止合成PDF");

namespace
{

QString chooseDirectoryDialog(QWidget *parent)
{
    return QFileDialog::getExistingDirectory(
        parent, QCoreApplication::translate("MainWindow", "请选择保存目录"), "./",
        QFileDialog::ShowDirsOnly);
}

void pauseMicroseconds(unsigned microseconds)
{
    usleep(microseconds);
}

// The buttons that act on a mouse press, through the event filter, in the
// order they are tested.
struct ButtonAction {
    QPushButton *Ui_MainWindow::*button;
    void (MainWindow::*action)();
};

} // namespace

MainWindow::Hooks MainWindow::hooks = {chooseDirectoryDialog, pauseMicroseconds};

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui_MainWindow), captureRequested(false), resolutionsListed(false),
      pdfRecording(false)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setFixedSize(width(), height());
    LoadConfig();

    for (QPushButton *button :
         {ui->pushButton, ui->pushButton_2, ui->pushButton_3, ui->pushButton_4, ui->pushButton_5,
          ui->pushButton_7, ui->pushButton_9})
        button->installEventFilter(this);

    if (g_Config.clear_background)
        ui->checkBox->setChecked(true);
    // Set before the wiring: restoring them is no change.
    ui->defaultCam->setCurrentIndex(g_Config.default_cam);
    ui->pic_format->setCurrentIndex(g_Config.picture_format);

    wireControls();
    setUpThumbnailList();

    // From here on the slots run and store the values back; an index
    // outside a list leaves it without selection and stores -1.
    ui->cbColor->setCurrentIndex(g_Config.color);
    ui->cbRota->setCurrentIndex(g_Config.rota);
    setFirstResolution();
    ui->jpg_quality->setCurrentIndex(g_Config.quality);
    ui->cutting->setCurrentIndex(g_Config.cutting_mode);
    if (g_Config.save_dir[0])
        ui->lineEdit->setText(QString::fromUtf8(g_Config.save_dir));

    setAttribute(Qt::WA_MouseTracking);
    timer = new QTimer(this);
    connect(timer, SIGNAL(timeout()), this, SLOT(TimerUpdate()));
    timer->start(30);

    zq_scanner_dllinit();
    ShowVideo(g_Config.default_cam + 1, true);
}

MainWindow::~MainWindow()
{
    delete ui;
    zq_scanner_dllunit();
    pdfImageList.clear();
    // Leave no camera streaming behind a window that is gone.
    if (fd > 0) {
        zq_scanner_close(fd);
        fd = -1;
    }
}

void MainWindow::wireControls()
{
    connect(ui->cbColor, SIGNAL(currentIndexChanged(int)), this, SLOT(ColorChanage(int)));
    connect(ui->cbRota, SIGNAL(currentIndexChanged(int)), this, SLOT(RotaChanage(int)));
    // The program's own edits of cbFbl block its signals, so only the
    // user's choices arrive here.
    connect(ui->cbFbl, SIGNAL(currentIndexChanged(int)), this, SLOT(FblChanage(int)));
    connect(ui->jpg_quality, SIGNAL(currentIndexChanged(int)), this, SLOT(QualityChanage(int)));
    connect(ui->cutting, SIGNAL(currentIndexChanged(int)), this, SLOT(CuttingModeChange(int)));
    connect(ui->slider_br, SIGNAL(valueChanged(int)), this, SLOT(BrightnessChanged(int)));
    connect(ui->slider_br_2, SIGNAL(valueChanged(int)), this, SLOT(ContrastChanged(int)));
    connect(ui->slider_br_3, SIGNAL(valueChanged(int)), this, SLOT(SaturationChanged(int)));
    connect(ui->checkBox, SIGNAL(clicked(bool)), this, SLOT(ClearbackgroundCheckChanged()));
    connect(ui->checkBox_2, SIGNAL(clicked(bool)), this, SLOT(BrightnessCheckChanged()));
    connect(ui->checkBox_3, SIGNAL(clicked(bool)), this, SLOT(ContrastCheckChanged()));
    connect(ui->checkBox_4, SIGNAL(clicked(bool)), this, SLOT(SaturationCheckChanged()));
    connect(ui->defaultCam, SIGNAL(currentIndexChanged(int)), this, SLOT(defaultCamChanage(int)));
    connect(ui->pic_format, SIGNAL(currentIndexChanged(int)), this,
            SLOT(OnPictureFormatChanged(int)));
    connect(ui->pushButton_6, SIGNAL(clicked(bool)), this, SLOT(ClickBt()));
}

void MainWindow::setUpThumbnailList()
{
    ui->listWidget->setSpacing(10);
    ui->listWidget->setViewMode(QListView::IconMode);
    ui->listWidget->setIconSize(QSize(100, 100));
    ui->listWidget->setMaximumHeight(200);
    ui->listWidget->setFlow(QListView::TopToBottom);
}

int MainWindow::LoadConfig()
{
    loadConfigFile(g_Config, GetConfigPath());
    return 0;
}

int MainWindow::SaveConfig()
{
    saveConfigFile(g_Config, GetConfigPath());
    return 0;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    SaveConfig();
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject *obj, QEvent *event)
{
    static const ButtonAction actions[] = {
        {&Ui_MainWindow::pushButton, &MainWindow::openCamera1},
        {&Ui_MainWindow::pushButton_2, &MainWindow::openCamera2},
        {&Ui_MainWindow::pushButton_3, &MainWindow::requestCapture},
        {&Ui_MainWindow::pushButton_4, &MainWindow::deleteSelectedPages},
        {&Ui_MainWindow::pushButton_5, &MainWindow::deleteAllPages},
        {&Ui_MainWindow::pushButton_7, &MainWindow::quit},
        {&Ui_MainWindow::pushButton_9, &MainWindow::openCamera3},
    };
    if (event->type() == QEvent::MouseButtonPress) {
        for (const ButtonAction &a : actions) {
            if (obj == ui->*a.button) {
                (this->*a.action)();
                break;
            }
        }
    }
    return QMainWindow::eventFilter(obj, event);
}

void MainWindow::requestCapture()
{
    if (checkDir(nullptr))
        captureRequested = true;
}

void MainWindow::quit()
{
    close();
}

// Each page remembers the path its file was written to, so that deleting
// it removes that file even after the save directory changed.
void MainWindow::deleteSelectedPages()
{
    for (QListWidgetItem *item : ui->listWidget->selectedItems()) {
        const QByteArray bytes = item->data(Qt::UserRole).toByteArray();
        const std::string path(bytes.constData(), size_t(bytes.size()));
        remove(path.c_str());
        delete ui->listWidget->takeItem(ui->listWidget->row(item));
        if (pdfRecording)
            pdfImageList.remove(path);
    }
}

void MainWindow::deleteAllPages()
{
    while (ui->listWidget->count() > 0) {
        QListWidgetItem *item = ui->listWidget->takeItem(0);
        remove(item->data(Qt::UserRole).toByteArray().constData());
        delete item;
    }
    if (pdfRecording)
        pdfImageList.clear();
}

// The first press starts collecting the captured pages, the second makes
// one PDF of them in the save directory.
void MainWindow::on_butten_pdf_clicked()
{
    if (!pdfRecording) {
        if (!checkDir(nullptr))
            return;
        pdfRecording = true;
        ui->butten_pdf->setText(g_stop_record_pdf);
        return;
    }
    pdfRecording = false;
    ui->butten_pdf->setText(g_begin_record_pdf);
    if (pdfImageList.empty())
        return;
    std::vector<const char *> images;
    for (const std::string &path : pdfImageList)
        images.push_back(path.c_str());
    char name[kFileNameMax + 1];
    snprintf(name, sizeof(name), "%s.pdf", _get_file_time_str());
    char output[kPathMax];
    if (joinPath(output, g_Config.save_dir, name))
        zq_create_pdf(images.data(), int(images.size()), output);
    pdfImageList.clear();
}
