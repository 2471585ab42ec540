/********************************************************************************
** Form generated from reading UI file 'mainwindow.ui'
**
** Written in the form Qt's User Interface Compiler generates.
********************************************************************************/

// Kept in the layout the UI compiler writes.
// clang-format off
#ifndef UI_MAINWINDOW_H
#define UI_MAINWINDOW_H

#include <QtCore/QVariant>
#include <QtWidgets/QAction>
#include <QtWidgets/QActionGroup>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSlider>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>
#include "camlabel.h"

QT_BEGIN_NAMESPACE

class Ui_MainWindow
{
public:
    QAction *actionUndoDelete;
    QAction *actionCapture;
    QAction *actionAutoCapture;
    QAction *actionBookMode;
    QAction *actionRightPageFirst;
    QAction *actionPdf;
    QAction *actionDeletePage;
    QAction *actionTurnLeft;
    QAction *actionTurnRight;
    QAction *actionOpenPage;
    QAction *actionSearchablePdf;
    QAction *actionPdfFromSelection;
    QAction *actionPdfFromAll;
    QAction *actionCancelPdf;
    QAction *actionAddPages;
    QActionGroup *pdfSizeGroup;
    QAction *actionPdfAsCaptured;
    QAction *actionPdfCompact;
    QWidget *centralWidget;
    CamLabel *label_V;
    QListWidget *listWidget;
    QGroupBox *groupBox;
    QLabel *label;
    QLabel *label_2;
    QComboBox *cbColor;
    QComboBox *cbRota;
    QComboBox *cbFbl;
    QLabel *label_4;
    QLabel *label_3;
    QComboBox *jpg_quality;
    QPushButton *pushButton_6;
    QLineEdit *lineEdit;
    QPushButton *pushButton_3;
    QPushButton *pushButton_7;
    QPushButton *pushButton;
    QPushButton *pushButton_2;
    QPushButton *pushButton_9;
    QLabel *label_5;
    QComboBox *cutting;
    QSlider *slider_br;
    QLabel *label_br;
    QSlider *slider_br_2;
    QLabel *label_br_2;
    QSlider *slider_br_3;
    QLabel *label_br_3;
    QPushButton *pushButton_4;
    QPushButton *pushButton_5;
    QCheckBox *checkBox;
    QCheckBox *checkBox_2;
    QCheckBox *checkBox_3;
    QCheckBox *checkBox_4;
    QPushButton *butten_pdf;
    QComboBox *defaultCam;
    QLabel *label_6;
    QLabel *label_7;
    QComboBox *pic_format;
    QWidget *layoutWidget;
    QVBoxLayout *verticalLayout;
    QWidget *layoutWidget1;
    QVBoxLayout *verticalLayout_2;
    QWidget *layoutWidget2;
    QVBoxLayout *verticalLayout_3;
    QMenuBar *menuBar;
    QMenu *menuCapture;
    QMenu *menuEdit;
    QMenu *menuPdf;
    QMenu *menuPdfSize;
    QToolBar *mainToolBar;
    QStatusBar *statusBar;

    void setupUi(QMainWindow *MainWindow)
    {
        if (MainWindow->objectName().isEmpty())
            MainWindow->setObjectName(QString::fromUtf8("MainWindow"));
        MainWindow->resize(1140, 720);
        actionUndoDelete = new QAction(MainWindow);
        actionUndoDelete->setObjectName(QString::fromUtf8("actionUndoDelete"));
        actionUndoDelete->setEnabled(false);
        actionCapture = new QAction(MainWindow);
        actionCapture->setObjectName(QString::fromUtf8("actionCapture"));
        actionCapture->setAutoRepeat(false);
        actionAutoCapture = new QAction(MainWindow);
        actionAutoCapture->setObjectName(QString::fromUtf8("actionAutoCapture"));
        actionAutoCapture->setCheckable(true);
        actionBookMode = new QAction(MainWindow);
        actionBookMode->setObjectName(QString::fromUtf8("actionBookMode"));
        actionBookMode->setCheckable(true);
        actionRightPageFirst = new QAction(MainWindow);
        actionRightPageFirst->setObjectName(QString::fromUtf8("actionRightPageFirst"));
        actionRightPageFirst->setCheckable(true);
        actionRightPageFirst->setEnabled(false);
        actionPdf = new QAction(MainWindow);
        actionPdf->setObjectName(QString::fromUtf8("actionPdf"));
        actionPdf->setAutoRepeat(false);
        actionDeletePage = new QAction(MainWindow);
        actionDeletePage->setObjectName(QString::fromUtf8("actionDeletePage"));
        actionDeletePage->setEnabled(false);
        actionDeletePage->setAutoRepeat(false);
        actionTurnLeft = new QAction(MainWindow);
        actionTurnLeft->setObjectName(QString::fromUtf8("actionTurnLeft"));
        actionTurnLeft->setEnabled(false);
        actionTurnRight = new QAction(MainWindow);
        actionTurnRight->setObjectName(QString::fromUtf8("actionTurnRight"));
        actionTurnRight->setEnabled(false);
        actionOpenPage = new QAction(MainWindow);
        actionOpenPage->setObjectName(QString::fromUtf8("actionOpenPage"));
        actionOpenPage->setEnabled(false);
        actionSearchablePdf = new QAction(MainWindow);
        actionSearchablePdf->setObjectName(QString::fromUtf8("actionSearchablePdf"));
        actionSearchablePdf->setCheckable(true);
        actionPdfFromSelection = new QAction(MainWindow);
        actionPdfFromSelection->setObjectName(QString::fromUtf8("actionPdfFromSelection"));
        actionPdfFromSelection->setEnabled(false);
        actionPdfFromAll = new QAction(MainWindow);
        actionPdfFromAll->setObjectName(QString::fromUtf8("actionPdfFromAll"));
        actionPdfFromAll->setEnabled(false);
        actionCancelPdf = new QAction(MainWindow);
        actionCancelPdf->setObjectName(QString::fromUtf8("actionCancelPdf"));
        actionCancelPdf->setEnabled(false);
        actionAddPages = new QAction(MainWindow);
        actionAddPages->setObjectName(QString::fromUtf8("actionAddPages"));
        pdfSizeGroup = new QActionGroup(MainWindow);
        pdfSizeGroup->setObjectName(QString::fromUtf8("pdfSizeGroup"));
        actionPdfAsCaptured = new QAction(pdfSizeGroup);
        actionPdfAsCaptured->setObjectName(QString::fromUtf8("actionPdfAsCaptured"));
        actionPdfAsCaptured->setCheckable(true);
        actionPdfAsCaptured->setChecked(true);
        actionPdfCompact = new QAction(pdfSizeGroup);
        actionPdfCompact->setObjectName(QString::fromUtf8("actionPdfCompact"));
        actionPdfCompact->setCheckable(true);
        centralWidget = new QWidget(MainWindow);
        centralWidget->setObjectName(QString::fromUtf8("centralWidget"));
        label_V = new CamLabel(centralWidget);
        label_V->setObjectName(QString::fromUtf8("label_V"));
        label_V->setGeometry(QRect(10, 0, 640, 480));
        QSizePolicy sizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        sizePolicy.setHorizontalStretch(0);
        sizePolicy.setVerticalStretch(0);
        sizePolicy.setHeightForWidth(label_V->sizePolicy().hasHeightForWidth());
        label_V->setSizePolicy(sizePolicy);
        label_V->setMouseTracking(true);
        label_V->setFrameShape(QFrame::Box);
        listWidget = new QListWidget(centralWidget);
        listWidget->setObjectName(QString::fromUtf8("listWidget"));
        listWidget->setGeometry(QRect(10, 490, 1110, 160));
        listWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        listWidget->setFlow(QListView::LeftToRight);
        listWidget->setViewMode(QListView::IconMode);
        groupBox = new QGroupBox(centralWidget);
        groupBox->setObjectName(QString::fromUtf8("groupBox"));
        groupBox->setGeometry(QRect(660, 0, 460, 480));
        groupBox->setStyleSheet(QString::fromUtf8("QGroupBox {\n"
"            border-color: rgb(156, 156, 156);\n"
"            border-width: 1px;\n"
"            border-style: solid;\n"
"            margin-top: 0.5ex;\n"
"        }\n"
"        QGroupBox::title {\n"
"            subcontrol-origin: margin;\n"
"            subcontrol-position: top left;\n"
"            left: 10px;\n"
"            margin-left: 2px;\n"
"            padding: 0  0px;\n"
"        }"));
        label = new QLabel(groupBox);
        label->setObjectName(QString::fromUtf8("label"));
        label->setGeometry(QRect(20, 30, 42, 22));
        label->setMaximumSize(QSize(101, 16777215));
        label_2 = new QLabel(groupBox);
        label_2->setObjectName(QString::fromUtf8("label_2"));
        label_2->setGeometry(QRect(20, 80, 42, 22));
        label_2->setMaximumSize(QSize(81, 16777215));
        cbColor = new QComboBox(groupBox);
        cbColor->addItem(QString());
        cbColor->addItem(QString());
        cbColor->setObjectName(QString::fromUtf8("cbColor"));
        cbColor->setGeometry(QRect(70, 70, 120, 41));
        cbRota = new QComboBox(groupBox);
        cbRota->addItem(QString());
        cbRota->addItem(QString());
        cbRota->addItem(QString());
        cbRota->addItem(QString());
        cbRota->setObjectName(QString::fromUtf8("cbRota"));
        cbRota->setGeometry(QRect(70, 20, 120, 41));
        cbFbl = new QComboBox(groupBox);
        cbFbl->addItem(QString());
        cbFbl->setObjectName(QString::fromUtf8("cbFbl"));
        cbFbl->setGeometry(QRect(270, 70, 120, 41));
        label_4 = new QLabel(groupBox);
        label_4->setObjectName(QString::fromUtf8("label_4"));
        label_4->setGeometry(QRect(200, 30, 70, 22));
        label_4->setMaximumSize(QSize(111, 16777215));
        label_3 = new QLabel(groupBox);
        label_3->setObjectName(QString::fromUtf8("label_3"));
        label_3->setGeometry(QRect(200, 80, 56, 22));
        label_3->setMaximumSize(QSize(91, 16777215));
        jpg_quality = new QComboBox(groupBox);
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->addItem(QString());
        jpg_quality->setObjectName(QString::fromUtf8("jpg_quality"));
        jpg_quality->setGeometry(QRect(270, 20, 120, 41));
        jpg_quality->setEnabled(true);
        pushButton_6 = new QPushButton(groupBox);
        pushButton_6->setObjectName(QString::fromUtf8("pushButton_6"));
        pushButton_6->setGeometry(QRect(10, 420, 81, 41));
        lineEdit = new QLineEdit(groupBox);
        lineEdit->setObjectName(QString::fromUtf8("lineEdit"));
        lineEdit->setGeometry(QRect(100, 420, 321, 41));
        lineEdit->setEnabled(false);
        pushButton_3 = new QPushButton(groupBox);
        pushButton_3->setObjectName(QString::fromUtf8("pushButton_3"));
        pushButton_3->setGeometry(QRect(10, 370, 81, 36));
        pushButton_7 = new QPushButton(groupBox);
        pushButton_7->setObjectName(QString::fromUtf8("pushButton_7"));
        pushButton_7->setGeometry(QRect(330, 326, 81, 36));
        pushButton = new QPushButton(groupBox);
        pushButton->setObjectName(QString::fromUtf8("pushButton"));
        pushButton->setGeometry(QRect(12, 326, 64, 36));
        pushButton->setMouseTracking(true);
        pushButton->setCheckable(false);
        pushButton->setChecked(false);
        pushButton_2 = new QPushButton(groupBox);
        pushButton_2->setObjectName(QString::fromUtf8("pushButton_2"));
        pushButton_2->setGeometry(QRect(81, 326, 64, 36));
        pushButton_9 = new QPushButton(groupBox);
        pushButton_9->setObjectName(QString::fromUtf8("pushButton_9"));
        pushButton_9->setGeometry(QRect(150, 326, 64, 36));
        label_5 = new QLabel(groupBox);
        label_5->setObjectName(QString::fromUtf8("label_5"));
        label_5->setGeometry(QRect(20, 130, 63, 22));
        cutting = new QComboBox(groupBox);
        cutting->addItem(QString());
        cutting->addItem(QString());
        cutting->addItem(QString());
        cutting->setObjectName(QString::fromUtf8("cutting"));
        cutting->setGeometry(QRect(70, 120, 121, 36));
        slider_br = new QSlider(groupBox);
        slider_br->setObjectName(QString::fromUtf8("slider_br"));
        slider_br->setGeometry(QRect(80, 236, 281, 24));
        slider_br->setMinimumSize(QSize(0, 24));
        slider_br->setMaximum(128);
        slider_br->setValue(64);
        slider_br->setOrientation(Qt::Horizontal);
        label_br = new QLabel(groupBox);
        label_br->setObjectName(QString::fromUtf8("label_br"));
        label_br->setGeometry(QRect(20, 236, 51, 22));
        slider_br_2 = new QSlider(groupBox);
        slider_br_2->setObjectName(QString::fromUtf8("slider_br_2"));
        slider_br_2->setGeometry(QRect(80, 266, 281, 24));
        slider_br_2->setMaximum(128);
        slider_br_2->setValue(64);
        slider_br_2->setOrientation(Qt::Horizontal);
        label_br_2 = new QLabel(groupBox);
        label_br_2->setObjectName(QString::fromUtf8("label_br_2"));
        label_br_2->setGeometry(QRect(20, 266, 51, 22));
        slider_br_3 = new QSlider(groupBox);
        slider_br_3->setObjectName(QString::fromUtf8("slider_br_3"));
        slider_br_3->setGeometry(QRect(80, 296, 281, 24));
        slider_br_3->setMaximum(128);
        slider_br_3->setValue(64);
        slider_br_3->setOrientation(Qt::Horizontal);
        label_br_3 = new QLabel(groupBox);
        label_br_3->setObjectName(QString::fromUtf8("label_br_3"));
        label_br_3->setGeometry(QRect(20, 296, 51, 22));
        pushButton_4 = new QPushButton(groupBox);
        pushButton_4->setObjectName(QString::fromUtf8("pushButton_4"));
        pushButton_4->setGeometry(QRect(260, 370, 71, 36));
        pushButton_5 = new QPushButton(groupBox);
        pushButton_5->setObjectName(QString::fromUtf8("pushButton_5"));
        pushButton_5->setGeometry(QRect(340, 370, 71, 36));
        checkBox = new QCheckBox(groupBox);
        checkBox->setObjectName(QString::fromUtf8("checkBox"));
        checkBox->setGeometry(QRect(100, 380, 97, 26));
        checkBox_2 = new QCheckBox(groupBox);
        checkBox_2->setObjectName(QString::fromUtf8("checkBox_2"));
        checkBox_2->setGeometry(QRect(350, 236, 97, 26));
        checkBox_3 = new QCheckBox(groupBox);
        checkBox_3->setObjectName(QString::fromUtf8("checkBox_3"));
        checkBox_3->setGeometry(QRect(350, 266, 97, 26));
        checkBox_4 = new QCheckBox(groupBox);
        checkBox_4->setObjectName(QString::fromUtf8("checkBox_4"));
        checkBox_4->setGeometry(QRect(350, 296, 97, 26));
        butten_pdf = new QPushButton(groupBox);
        butten_pdf->setObjectName(QString::fromUtf8("butten_pdf"));
        butten_pdf->setGeometry(QRect(225, 326, 101, 36));
        defaultCam = new QComboBox(groupBox);
        defaultCam->addItem(QString());
        defaultCam->addItem(QString());
        defaultCam->addItem(QString());
        defaultCam->setObjectName(QString::fromUtf8("defaultCam"));
        defaultCam->setGeometry(QRect(270, 120, 121, 36));
        label_6 = new QLabel(groupBox);
        label_6->setObjectName(QString::fromUtf8("label_6"));
        label_6->setGeometry(QRect(200, 130, 70, 22));
        label_7 = new QLabel(groupBox);
        label_7->setObjectName(QString::fromUtf8("label_7"));
        label_7->setGeometry(QRect(21, 178, 42, 22));
        pic_format = new QComboBox(groupBox);
        pic_format->addItem(QString());
        pic_format->addItem(QString());
        pic_format->setObjectName(QString::fromUtf8("pic_format"));
        pic_format->setGeometry(QRect(70, 170, 121, 36));
        layoutWidget = new QWidget(centralWidget);
        layoutWidget->setObjectName(QString::fromUtf8("layoutWidget"));
        layoutWidget->setGeometry(QRect(0, 0, 2, 2));
        verticalLayout = new QVBoxLayout(layoutWidget);
        verticalLayout->setSpacing(6);
        verticalLayout->setContentsMargins(11, 11, 11, 11);
        verticalLayout->setObjectName(QString::fromUtf8("verticalLayout"));
        verticalLayout->setContentsMargins(0, 0, 0, 0);
        layoutWidget1 = new QWidget(centralWidget);
        layoutWidget1->setObjectName(QString::fromUtf8("layoutWidget1"));
        layoutWidget1->setGeometry(QRect(0, 0, 2, 2));
        verticalLayout_2 = new QVBoxLayout(layoutWidget1);
        verticalLayout_2->setSpacing(6);
        verticalLayout_2->setContentsMargins(11, 11, 11, 11);
        verticalLayout_2->setObjectName(QString::fromUtf8("verticalLayout_2"));
        verticalLayout_2->setContentsMargins(0, 0, 0, 0);
        layoutWidget2 = new QWidget(centralWidget);
        layoutWidget2->setObjectName(QString::fromUtf8("layoutWidget2"));
        layoutWidget2->setGeometry(QRect(0, 0, 2, 2));
        verticalLayout_3 = new QVBoxLayout(layoutWidget2);
        verticalLayout_3->setSpacing(6);
        verticalLayout_3->setContentsMargins(11, 11, 11, 11);
        verticalLayout_3->setObjectName(QString::fromUtf8("verticalLayout_3"));
        verticalLayout_3->setContentsMargins(0, 0, 0, 0);
        MainWindow->setCentralWidget(centralWidget);
        menuBar = new QMenuBar(MainWindow);
        menuBar->setObjectName(QString::fromUtf8("menuBar"));
        menuBar->setGeometry(QRect(0, 0, 1140, 36));
        menuCapture = new QMenu(menuBar);
        menuCapture->setObjectName(QString::fromUtf8("menuCapture"));
        menuEdit = new QMenu(menuBar);
        menuEdit->setObjectName(QString::fromUtf8("menuEdit"));
        menuPdf = new QMenu(menuBar);
        menuPdf->setObjectName(QString::fromUtf8("menuPdf"));
        menuPdfSize = new QMenu(menuPdf);
        menuPdfSize->setObjectName(QString::fromUtf8("menuPdfSize"));
        MainWindow->setMenuBar(menuBar);
        mainToolBar = new QToolBar(MainWindow);
        mainToolBar->setObjectName(QString::fromUtf8("mainToolBar"));
        QSizePolicy sizePolicy1(QSizePolicy::Fixed, QSizePolicy::Fixed);
        sizePolicy1.setHorizontalStretch(0);
        sizePolicy1.setVerticalStretch(0);
        sizePolicy1.setHeightForWidth(mainToolBar->sizePolicy().hasHeightForWidth());
        mainToolBar->setSizePolicy(sizePolicy1);
        mainToolBar->setMaximumSize(QSize(16777215, 16777215));
        MainWindow->addToolBar(Qt::TopToolBarArea, mainToolBar);
        statusBar = new QStatusBar(MainWindow);
        statusBar->setObjectName(QString::fromUtf8("statusBar"));
        MainWindow->setStatusBar(statusBar);

        menuBar->addAction(menuCapture->menuAction());
        menuBar->addAction(menuEdit->menuAction());
        menuCapture->addAction(actionCapture);
        menuCapture->addAction(actionAutoCapture);
        menuCapture->addSeparator();
        menuCapture->addAction(actionBookMode);
        menuCapture->addAction(actionRightPageFirst);
        menuBar->addAction(menuPdf->menuAction());
        menuEdit->addAction(actionUndoDelete);
        menuEdit->addSeparator();
        menuEdit->addAction(actionAddPages);
        menuEdit->addAction(actionDeletePage);
        menuEdit->addAction(actionTurnLeft);
        menuEdit->addAction(actionTurnRight);
        menuEdit->addAction(actionOpenPage);
        menuPdf->addAction(actionPdf);
        menuPdf->addAction(actionPdfFromSelection);
        menuPdf->addAction(actionPdfFromAll);
        menuPdf->addAction(actionCancelPdf);
        menuPdf->addSeparator();
        menuPdf->addAction(actionSearchablePdf);
        menuPdf->addAction(menuPdfSize->menuAction());
        menuPdfSize->addAction(actionPdfAsCaptured);
        menuPdfSize->addAction(actionPdfCompact);

        retranslateUi(MainWindow);

        QMetaObject::connectSlotsByName(MainWindow);
    } // setupUi

    void retranslateUi(QMainWindow *MainWindow)
    {
        MainWindow->setWindowTitle(QCoreApplication::translate("MainWindow", "Zq高拍仪", nullptr));
        actionUndoDelete->setText(QCoreApplication::translate("MainWindow", "撤销删除", nullptr));
#if QT_CONFIG(tooltip)
        actionUndoDelete->setToolTip(QCoreApplication::translate("MainWindow", "把最近删除的页面从回收站放回原处", nullptr));
#endif // QT_CONFIG(tooltip)
#if QT_CONFIG(shortcut)
        actionUndoDelete->setShortcut(QCoreApplication::translate("MainWindow", "Ctrl+Z", nullptr));
#endif // QT_CONFIG(shortcut)
        actionCapture->setText(QCoreApplication::translate("MainWindow", "拍照", nullptr));
#if QT_CONFIG(tooltip)
        actionCapture->setToolTip(QCoreApplication::translate("MainWindow", "拍下预览中的画面", nullptr));
#endif // QT_CONFIG(tooltip)
        actionAutoCapture->setText(QCoreApplication::translate("MainWindow", "自动拍照", nullptr));
#if QT_CONFIG(tooltip)
        actionAutoCapture->setToolTip(QCoreApplication::translate("MainWindow", "自动裁边时，新放上的页面静止片刻后自动拍下", nullptr));
#endif // QT_CONFIG(tooltip)
        actionBookMode->setText(QCoreApplication::translate("MainWindow", "书本模式", nullptr));
#if QT_CONFIG(tooltip)
        actionBookMode->setToolTip(QCoreApplication::translate("MainWindow", "自动裁边时找出翻开的书，左右两页各存为一个文件，并把弯曲的页面展平", nullptr));
#endif // QT_CONFIG(tooltip)
        actionRightPageFirst->setText(QCoreApplication::translate("MainWindow", "右页在前", nullptr));
#if QT_CONFIG(tooltip)
        actionRightPageFirst->setToolTip(QCoreApplication::translate("MainWindow", "从右向左翻的书（如竖排的中文、日文书）：先存右页，再存左页", nullptr));
#endif // QT_CONFIG(tooltip)
        actionPdf->setText(QCoreApplication::translate("MainWindow", "开始/停止合成PDF", nullptr));
#if QT_CONFIG(shortcut)
        actionPdf->setShortcut(QCoreApplication::translate("MainWindow", "Ctrl+P", nullptr));
#endif // QT_CONFIG(shortcut)
        actionDeletePage->setText(QCoreApplication::translate("MainWindow", "删除页面", nullptr));
#if QT_CONFIG(tooltip)
        actionDeletePage->setToolTip(QCoreApplication::translate("MainWindow", "把选中的页面移到回收站", nullptr));
#endif // QT_CONFIG(tooltip)
#if QT_CONFIG(shortcut)
        actionDeletePage->setShortcut(QCoreApplication::translate("MainWindow", "Del", nullptr));
#endif // QT_CONFIG(shortcut)
        actionTurnLeft->setText(QCoreApplication::translate("MainWindow", "向左转", nullptr));
#if QT_CONFIG(tooltip)
        actionTurnLeft->setToolTip(QCoreApplication::translate("MainWindow", "把选中的页面逆时针转 90 度", nullptr));
#endif // QT_CONFIG(tooltip)
        actionTurnRight->setText(QCoreApplication::translate("MainWindow", "向右转", nullptr));
#if QT_CONFIG(tooltip)
        actionTurnRight->setToolTip(QCoreApplication::translate("MainWindow", "把选中的页面顺时针转 90 度", nullptr));
#endif // QT_CONFIG(tooltip)
        actionOpenPage->setText(QCoreApplication::translate("MainWindow", "用看图程序打开", nullptr));
#if QT_CONFIG(tooltip)
        actionOpenPage->setToolTip(QCoreApplication::translate("MainWindow", "在桌面默认的看图程序中打开选中的页面", nullptr));
#endif // QT_CONFIG(tooltip)
        actionSearchablePdf->setText(QCoreApplication::translate("MainWindow", "可搜索 PDF", nullptr));
#if QT_CONFIG(tooltip)
        actionSearchablePdf->setToolTip(QCoreApplication::translate("MainWindow", "识别页面上的文字，合成的 PDF 可以搜索和复制", nullptr));
#endif // QT_CONFIG(tooltip)
        actionPdfFromSelection->setText(QCoreApplication::translate("MainWindow", "用选中的页面生成 PDF…", nullptr));
#if QT_CONFIG(tooltip)
        actionPdfFromSelection->setToolTip(QCoreApplication::translate("MainWindow", "把选中的页面按列表中的顺序合成一个 PDF", nullptr));
#endif // QT_CONFIG(tooltip)
        actionPdfFromAll->setText(QCoreApplication::translate("MainWindow", "用全部页面生成 PDF…", nullptr));
#if QT_CONFIG(tooltip)
        actionPdfFromAll->setToolTip(QCoreApplication::translate("MainWindow", "把列表中的全部页面按顺序合成一个 PDF", nullptr));
#endif // QT_CONFIG(tooltip)
        actionCancelPdf->setText(QCoreApplication::translate("MainWindow", "取消合成 PDF", nullptr));
#if QT_CONFIG(tooltip)
        actionCancelPdf->setToolTip(QCoreApplication::translate("MainWindow", "停止正在合成的 PDF，不留下文件；收集的页面都保留", nullptr));
#endif // QT_CONFIG(tooltip)
        actionPdfAsCaptured->setText(QCoreApplication::translate("MainWindow", "原样", nullptr));
#if QT_CONFIG(tooltip)
        actionPdfAsCaptured->setToolTip(QCoreApplication::translate("MainWindow", "每一页都是拍下的图片本身，不改动", nullptr));
#endif // QT_CONFIG(tooltip)
        actionPdfCompact->setText(QCoreApplication::translate("MainWindow", "紧凑", nullptr));
#if QT_CONFIG(tooltip)
        actionPdfCompact->setToolTip(QCoreApplication::translate("MainWindow", "文字页存为清晰的黑白图，彩色部分降低分辨率，PDF 小很多", nullptr));
#endif // QT_CONFIG(tooltip)
        actionAddPages->setText(QCoreApplication::translate("MainWindow", "添加页面…", nullptr));
#if QT_CONFIG(tooltip)
        actionAddPages->setToolTip(QCoreApplication::translate("MainWindow", "把其他 JPEG 或 TIFF 图片加到页面列表的末尾", nullptr));
#endif // QT_CONFIG(tooltip)
        label_V->setText(QString());
        groupBox->setTitle(QCoreApplication::translate("MainWindow", "影像处理", nullptr));
        label->setText(QCoreApplication::translate("MainWindow", "旋转：", nullptr));
        label_2->setText(QCoreApplication::translate("MainWindow", "色彩：", nullptr));
        cbColor->setItemText(0, QCoreApplication::translate("MainWindow", "彩色", nullptr));
        cbColor->setItemText(1, QCoreApplication::translate("MainWindow", "灰色", nullptr));
        cbRota->setItemText(0, QCoreApplication::translate("MainWindow", "正常", nullptr));
        cbRota->setItemText(1, QCoreApplication::translate("MainWindow", "右转", nullptr));
        cbRota->setItemText(2, QCoreApplication::translate("MainWindow", "左转", nullptr));
        cbRota->setItemText(3, QCoreApplication::translate("MainWindow", "上下翻转", nullptr));
        cbFbl->setItemText(0, QCoreApplication::translate("MainWindow", "640*480", nullptr));
        label_4->setText(QCoreApplication::translate("MainWindow", "压缩质量：", nullptr));
        label_3->setText(QCoreApplication::translate("MainWindow", "分辨率：", nullptr));
        jpg_quality->setItemText(0, QCoreApplication::translate("MainWindow", "10", nullptr));
        jpg_quality->setItemText(1, QCoreApplication::translate("MainWindow", "20", nullptr));
        jpg_quality->setItemText(2, QCoreApplication::translate("MainWindow", "30", nullptr));
        jpg_quality->setItemText(3, QCoreApplication::translate("MainWindow", "40", nullptr));
        jpg_quality->setItemText(4, QCoreApplication::translate("MainWindow", "50", nullptr));
        jpg_quality->setItemText(5, QCoreApplication::translate("MainWindow", "60", nullptr));
        jpg_quality->setItemText(6, QCoreApplication::translate("MainWindow", "70", nullptr));
        jpg_quality->setItemText(7, QCoreApplication::translate("MainWindow", "80", nullptr));
        jpg_quality->setItemText(8, QCoreApplication::translate("MainWindow", "100", nullptr));
        pushButton_6->setText(QCoreApplication::translate("MainWindow", "保存目录", nullptr));
        pushButton_3->setText(QCoreApplication::translate("MainWindow", "拍照", nullptr));
        pushButton_7->setText(QCoreApplication::translate("MainWindow", "退出", nullptr));
        pushButton->setText(QCoreApplication::translate("MainWindow", "视频1", nullptr));
        pushButton_2->setText(QCoreApplication::translate("MainWindow", "视频2", nullptr));
        pushButton_9->setText(QCoreApplication::translate("MainWindow", "视频3", nullptr));
        label_5->setText(QCoreApplication::translate("MainWindow", "裁边：", nullptr));
        cutting->setItemText(0, QCoreApplication::translate("MainWindow", "无裁边", nullptr));
        cutting->setItemText(1, QCoreApplication::translate("MainWindow", "手动裁边", nullptr));
        cutting->setItemText(2, QCoreApplication::translate("MainWindow", "自动裁边", nullptr));
        label_br->setText(QCoreApplication::translate("MainWindow", "亮度：", nullptr));
        label_br_2->setText(QCoreApplication::translate("MainWindow", "对比度：", nullptr));
        label_br_3->setText(QCoreApplication::translate("MainWindow", "饱和度：", nullptr));
        pushButton_4->setText(QCoreApplication::translate("MainWindow", "删除", nullptr));
        pushButton_5->setText(QCoreApplication::translate("MainWindow", "清空", nullptr));
        checkBox->setText(QCoreApplication::translate("MainWindow", "自动去底色", nullptr));
        checkBox_2->setText(QCoreApplication::translate("MainWindow", "默认", nullptr));
        checkBox_3->setText(QCoreApplication::translate("MainWindow", "默认", nullptr));
        checkBox_4->setText(QCoreApplication::translate("MainWindow", "默认", nullptr));
        butten_pdf->setText(QCoreApplication::translate("MainWindow", "开始合成PDF", nullptr));
        defaultCam->setItemText(0, QCoreApplication::translate("MainWindow", "视频1", nullptr));
        defaultCam->setItemText(1, QCoreApplication::translate("MainWindow", "视频2", nullptr));
        defaultCam->setItemText(2, QCoreApplication::translate("MainWindow", "视频3", nullptr));
        label_6->setText(QCoreApplication::translate("MainWindow", "默认打开：", nullptr));
        label_7->setText(QCoreApplication::translate("MainWindow", "格式：", nullptr));
        cbColor->setToolTip(QCoreApplication::translate("MainWindow", "保存彩色或灰色的页面", nullptr));
        cbRota->setToolTip(QCoreApplication::translate("MainWindow", "把画面转到页面正立", nullptr));
        cbFbl->setToolTip(QCoreApplication::translate("MainWindow", "摄像头拍摄的画面大小", nullptr));
        jpg_quality->setToolTip(QCoreApplication::translate("MainWindow", "JPEG 页面的压缩质量：越高文件越大", nullptr));
        pushButton_6->setToolTip(QCoreApplication::translate("MainWindow", "选择存放页面的文件夹", nullptr));
        lineEdit->setToolTip(QCoreApplication::translate("MainWindow", "页面存放的文件夹", nullptr));
        pushButton_7->setToolTip(QCoreApplication::translate("MainWindow", "保存设置并退出", nullptr));
        cutting->setToolTip(QCoreApplication::translate("MainWindow", "不裁边、用鼠标框出范围，或自动找出页面并拉正", nullptr));
        slider_br->setToolTip(QCoreApplication::translate("MainWindow", "摄像头的亮度", nullptr));
        slider_br_2->setToolTip(QCoreApplication::translate("MainWindow", "摄像头的对比度", nullptr));
        slider_br_3->setToolTip(QCoreApplication::translate("MainWindow", "摄像头的饱和度", nullptr));
        pushButton_5->setToolTip(QCoreApplication::translate("MainWindow", "把全部页面移到回收站", nullptr));
        checkBox->setToolTip(QCoreApplication::translate("MainWindow", "把页面的底色变成白色，文字更清楚", nullptr));
        checkBox_2->setToolTip(QCoreApplication::translate("MainWindow", "亮度保持摄像头的默认值", nullptr));
        checkBox_3->setToolTip(QCoreApplication::translate("MainWindow", "对比度保持摄像头的默认值", nullptr));
        checkBox_4->setToolTip(QCoreApplication::translate("MainWindow", "饱和度保持摄像头的默认值", nullptr));
        defaultCam->setToolTip(QCoreApplication::translate("MainWindow", "程序启动时打开的摄像头", nullptr));
        pic_format->setToolTip(QCoreApplication::translate("MainWindow", "页面保存为 JPEG 或 TIFF", nullptr));
        listWidget->setToolTip(QCoreApplication::translate("MainWindow", "拍下的页面：拖动可以调整顺序，右键可以旋转或打开", nullptr));
        pic_format->setItemText(0, QCoreApplication::translate("MainWindow", "jpeg", nullptr));
        pic_format->setItemText(1, QCoreApplication::translate("MainWindow", "tiff", nullptr));
        menuCapture->setTitle(QCoreApplication::translate("MainWindow", "拍摄", nullptr));
        menuEdit->setTitle(QCoreApplication::translate("MainWindow", "编辑", nullptr));
        menuPdf->setTitle(QCoreApplication::translate("MainWindow", "PDF", nullptr));
        menuPdfSize->setTitle(QCoreApplication::translate("MainWindow", "PDF 文件大小", nullptr));
    } // retranslateUi

};

namespace Ui {
    class MainWindow: public Ui_MainWindow {};
} // namespace Ui

QT_END_NAMESPACE

#endif // UI_MAINWINDOW_H
