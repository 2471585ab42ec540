// Construction and wiring of the window's parts, its keys, the watched
// buttons, and what a close asks.
#include "mainwindow.h"

#include "autocapture.h"
#include "camerasliders.h"
#include "cameraswitches.h"
#include "camerawatch.h"
#include "collectionpdf.h"
#include "config.h"
#include "framepipeline.h"
#include "helpmenu.h"
#include "liveview.h"
#include "ownkeys.h"
#include "pagedocument.h"
#include "pages_pdf.h"
#include "pageturn.h"
#include "pdfsize.h"
#include "quitquestion.h"
#include "resolutionbox.h"
#include "savedir.h"
#include "savefailure.h"
#include "searchable_pdf.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTimer>

#include <unistd.h>

#include <cstring>

int zqvideo::fd = -1;

namespace
{

// Starts where the pages go now, or in the home folder before there is a
// place for them.
QString chooseDirectoryDialog(QWidget *parent)
{
    const QString current = QString::fromUtf8(g_Config.save_dir);
    return QFileDialog::getExistingDirectory(
        parent, QCoreApplication::translate("MainWindow", "请选择保存目录"),
        !current.isEmpty() && QDir(current).exists() ? current : QDir::homePath(),
        QFileDialog::ShowDirsOnly);
}

QString keyNames(const QAction *action)
{
    QStringList names;
    for (const QKeySequence &key : action->shortcuts())
        names << key.toString(QKeySequence::NativeText);
    return names.join(QCoreApplication::translate("MainWindow", "、"));
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
    removeStaleTemporaries();

    for (QPushButton *button :
         {ui->pushButton, ui->pushButton_2, ui->pushButton_3, ui->pushButton_4, ui->pushButton_5,
          ui->pushButton_7, ui->pushButton_9})
        button->installEventFilter(this);

    if (g_Config.clear_background)
        ui->checkBox->setChecked(true);
    // Set before the wiring: restoring them is no change.
    ui->defaultCam->setCurrentIndex(g_Config.default_cam);
    ui->pic_format->setCurrentIndex(g_Config.picture_format);

    sliders = std::make_unique<CameraSliders>(
        std::array<CameraSliders::Pair, 3>{{{ui->slider_br, ui->checkBox_2},
                                            {ui->slider_br_2, ui->checkBox_3},
                                            {ui->slider_br_3, ui->checkBox_4}}});
    resolutions = std::make_unique<ResolutionBox>(ui->cbFbl);
    wireControls();
    setUpThumbnailList();
    setUpPageList();
    watchSessionEnd();
    setUpKeys();
    saveFailure = new SaveFailure(statusBar());
    auto *autoCapture = new AutoCapture(ui->actionAutoCapture, statusBar(), this, settings);
    setUpFramePipeline(autoCapture);
    setUpViewers();
    setUpCollectionPdf();
    new PdfSize(ui->actionPdfAsCaptured, ui->actionPdfCompact, statusBar(), this, settings);
    new HelpMenu(this);

    // From here on the slots run and store the values back; an index
    // outside a list leaves it without selection and stores -1.
    ui->cbColor->setCurrentIndex(g_Config.color);
    ui->cbRota->setCurrentIndex(g_Config.rota);
    resolutions->showFirst(g_Config.width, g_Config.height);
    ui->jpg_quality->setCurrentIndex(g_Config.quality);
    ui->cutting->setCurrentIndex(g_Config.cutting_mode);
    if (g_Config.save_dir[0])
        ui->lineEdit->setText(QString::fromUtf8(g_Config.save_dir));
    restorePageList();

    setAttribute(Qt::WA_MouseTracking);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainWindow::TimerUpdate);
    timer->start(30);

    zq_scanner_dllinit();
    cameraSwitches = new CameraSwitches({ui->pushButton, ui->pushButton_2, ui->pushButton_9}, this);
    setUpCameraWatch(autoCapture);
    ShowVideo(g_Config.default_cam + 1, true);
    reportUnkeptSettings();
}

// Said once, at the start, beside what the camera's opening said: the
// settings are written when the window closes, when nobody would see why
// they were not.
void MainWindow::reportUnkeptSettings()
{
    const int problem = settingsPathProblem(settings.configPath());
    if (!problem)
        return;
    QStringList report{tr("设置无法保存到 %1：%2")
                           .arg(QFile::decodeName(settings.configPath().c_str()),
                                QString::fromLocal8Bit(strerror(problem)))};
    if (const QString shown = statusBar()->currentMessage(); !shown.isEmpty())
        report.prepend(shown);
    statusBar()->showMessage(report.join(tr("；")));
}

MainWindow::~MainWindow()
{
    pipeline->finishCaptures(); // the pages asked for are listed and journaled
    pages->close();             // the list going down with the window is no change
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
    const auto indexChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->cbColor, indexChanged, this, &MainWindow::ColorChanage);
    connect(ui->cbRota, indexChanged, this, &MainWindow::RotaChanage);
    // The program's own edits of cbFbl block its signals, so only the
    // user's choices arrive here.
    connect(ui->cbFbl, indexChanged, this, &MainWindow::FblChanage);
    connect(ui->jpg_quality, indexChanged, this, &MainWindow::QualityChanage);
    connect(ui->cutting, indexChanged, this, &MainWindow::CuttingModeChange);
    connect(ui->slider_br, &QSlider::valueChanged, this, &MainWindow::BrightnessChanged);
    connect(ui->slider_br_2, &QSlider::valueChanged, this, &MainWindow::ContrastChanged);
    connect(ui->slider_br_3, &QSlider::valueChanged, this, &MainWindow::SaturationChanged);
    connect(ui->checkBox, &QCheckBox::clicked, this, &MainWindow::ClearbackgroundCheckChanged);
    connect(ui->checkBox_2, &QCheckBox::clicked, this, &MainWindow::BrightnessCheckChanged);
    connect(ui->checkBox_3, &QCheckBox::clicked, this, &MainWindow::ContrastCheckChanged);
    connect(ui->checkBox_4, &QCheckBox::clicked, this, &MainWindow::SaturationCheckChanged);
    connect(ui->defaultCam, indexChanged, this, &MainWindow::defaultCamChanage);
    connect(ui->pic_format, indexChanged, this, &MainWindow::OnPictureFormatChanged);
    connect(ui->pushButton_6, &QPushButton::clicked, this, &MainWindow::ClickBt);
}

// The actions' shortcuts belong to the window: they work wherever the focus
// is, and a held key acts once.  Only widgets that use a key themselves keep
// it: an open drop-down list and a text field take Return, the page list
// Space and Return.
void MainWindow::setUpKeys()
{
    // Foot pedals and presentation remotes send one of these.
    ui->actionCapture->setShortcuts({QKeySequence(Qt::Key_Space), QKeySequence(Qt::Key_Return),
                                     QKeySequence(Qt::Key_PageDown)});
    auto *ownKeys = new OwnKeys(this);
    for (QComboBox *box : findChildren<QComboBox *>())
        ownKeys->give(box->view(), {Qt::Key_Return, Qt::Key_Enter});
    for (QLineEdit *field : findChildren<QLineEdit *>())
        ownKeys->give(field, {Qt::Key_Return, Qt::Key_Enter});
    ownKeys->give(ui->listWidget, {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter});
    connect(ui->actionCapture, &QAction::triggered, this, &MainWindow::requestCapture);
    connect(ui->actionDeletePage, &QAction::triggered, this, &MainWindow::deleteSelectedPages);
    // Through the button itself, so that key and button cannot differ.
    connect(ui->actionPdf, &QAction::triggered, ui->butten_pdf, &QPushButton::click);
    connect(ui->actionTurnLeft, &QAction::triggered, this,
            [this] { pages->turn(ui->listWidget->selectedItems(), PageTurn::Left); });
    connect(ui->actionTurnRight, &QAction::triggered, this,
            [this] { pages->turn(ui->listWidget->selectedItems(), PageTurn::Right); });
    connect(ui->actionOpenPage, &QAction::triggered, this,
            [this] { pages->open(ui->listWidget->selectedItems()); });

    const std::pair<QPushButton *, QAction *> keyed[] = {
        {ui->pushButton_3, ui->actionCapture},
        {ui->pushButton_4, ui->actionDeletePage},
        {ui->butten_pdf, ui->actionPdf},
    };
    for (const auto &[button, action] : keyed)
        button->setToolTip(tr("快捷键：%1").arg(keyNames(action)));
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
    settings.load();
    return 0;
}

int MainWindow::SaveConfig()
{
    settings.save();
    return 0;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!mayClose()) {
        event->ignore();
        return;
    }
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
    // A filter sees the presses of disabled buttons too.
    if (event->type() == QEvent::MouseButtonPress) {
        for (const ButtonAction &a : actions) {
            if (obj == ui->*a.button && (ui->*a.button)->isEnabled()) {
                (this->*a.action)();
                break;
            }
        }
    }
    return QMainWindow::eventFilter(obj, event);
}

void MainWindow::requestCapture()
{
    if (!pipeline->live()) {
        statusBar()->showMessage(tr("预览中没有画面，没有拍照"), kStatusLongMs);
        return;
    }
    if (checkDir(nullptr))
        captureRequested = true;
}

void MainWindow::quit()
{
    close();
}

void MainWindow::deleteSelectedPages()
{
    pages->remove(ui->listWidget->selectedItems());
}

void MainWindow::deleteAllPages()
{
    pages->removeAll();
}

// The collection's PDF is the collection's work; a page captured before
// the press belongs to the collection as it was.
void MainWindow::on_butten_pdf_clicked()
{
    pipeline->finishCaptures();
    collection->press();
}

void MainWindow::setUpCollectionPdf()
{
    auto *searchable = new SearchablePdf(ui->actionSearchablePdf, statusBar(), settings, this);
    connect(pages, &PageDocument::collectedPageChanged, searchable, &SearchablePdf::prepare);
    connect(pagesPdf, &PagesPdf::recognising, searchable, &SearchablePdf::showProgress);
    collection = new CollectionPdf(
        {ui->butten_pdf, ui->actionCancelPdf, ui->actionSearchablePdf, ui->menuPdfSize}, pages,
        pagesPdf, searchable, pdfImageList, pdfRecording, statusBar(), this);
    connect(collection, &CollectionPdf::closeRequested, this, &QWidget::close);
}

// ---- the page list across starts ----------------------------------------------
// The page document keeps the list and the collection of each save
// directory; these put them back and decide what a quit does with them.

void MainWindow::watchSessionEnd()
{
    // Before the session manager closes the window.
    connect(
        qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { sessionEnding = true; },
        Qt::DirectConnection);
}

// Coming back to the window, from a file manager perhaps: pages deleted
// there leave the list at once.
void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    if (const QString report = pages->dropMissing(); !report.isEmpty())
        statusBar()->showMessage(report, kStatusLongMs);
}

// Collected pages are kept by the journal whatever ends the program; a quit
// asks whether to compose them now, keep them for the next start or give
// the collection up.  The ending desktop session asks nobody: it keeps them.
bool MainWindow::mayClose()
{
    pipeline->finishCaptures(); // a page still being written counts
    if (sessionEnding || collection->composing() || !pdfRecording || pdfImageList.empty())
        return true;
    switch (askAboutCollection(this, int(pdfImageList.size()))) {
    case QuitAnswer::Keep:
        return true;
    case QuitAnswer::Discard:
        collection->stop();
        return true;
    case QuitAnswer::Compose:
        break;
    }
    return collection->composeBeforeClosing();
}
