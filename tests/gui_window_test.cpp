// zqvideo's window as built: the widget tree, the settings it starts from,
// closing, and the save-directory chooser.
#include "gui_harness.h"

#include "camlabel.h"
#include "virtual_hardware.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

using zq::sim::CameraConfig;

namespace
{

const char kGroupBoxStyle[] = "QGroupBox {\n"
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
                              "        }";

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QString textOf(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return QString();
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

  private slots:
    void init()
    {
        startFromNothing();
        setenv("HOME", "/home/u", 1);
    }
    void cleanup() { hw().reset(); }

    void widgetTree_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");

        struct Row {
            const char *name, *cls, *parent;
            QRect geometry;
            const char *text;
        };
        const Row rows[] = {
            {"label_V", "CamLabel", "centralWidget", {10, 0, 640, 480}, ""},
            {"listWidget", "QListWidget", "centralWidget", {10, 490, 1110, 160}, ""},
            {"groupBox", "QGroupBox", "centralWidget", {660, 0, 460, 480}, "影像处理"},
            {"label", "QLabel", "groupBox", {20, 30, 42, 22}, "旋转："},
            {"label_2", "QLabel", "groupBox", {20, 80, 42, 22}, "色彩："},
            {"cbColor", "QComboBox", "groupBox", {70, 70, 120, 41}, ""},
            {"cbRota", "QComboBox", "groupBox", {70, 20, 120, 41}, ""},
            {"cbFbl", "QComboBox", "groupBox", {270, 70, 120, 41}, ""},
            {"label_4", "QLabel", "groupBox", {200, 30, 70, 22}, "压缩质量："},
            {"label_3", "QLabel", "groupBox", {200, 80, 56, 22}, "分辨率："},
            {"jpg_quality", "QComboBox", "groupBox", {270, 20, 120, 41}, ""},
            {"pushButton_6", "QPushButton", "groupBox", {10, 420, 81, 41}, "保存目录"},
            {"lineEdit", "QLineEdit", "groupBox", {100, 420, 321, 41}, "/home/u"},
            {"pushButton_3", "QPushButton", "groupBox", {10, 370, 81, 36}, "拍照"},
            {"pushButton_7", "QPushButton", "groupBox", {330, 326, 81, 36}, "退出"},
            {"pushButton", "QPushButton", "groupBox", {12, 326, 64, 36}, "视频1"},
            {"pushButton_2", "QPushButton", "groupBox", {81, 326, 64, 36}, "视频2"},
            {"pushButton_9", "QPushButton", "groupBox", {150, 326, 64, 36}, "视频3"},
            {"label_5", "QLabel", "groupBox", {20, 130, 63, 22}, "裁边："},
            {"cutting", "QComboBox", "groupBox", {70, 120, 121, 36}, ""},
            {"slider_br", "QSlider", "groupBox", {80, 236, 281, 24}, ""},
            {"label_br", "QLabel", "groupBox", {20, 236, 51, 22}, "亮度："},
            {"slider_br_2", "QSlider", "groupBox", {80, 266, 281, 24}, ""},
            {"label_br_2", "QLabel", "groupBox", {20, 266, 51, 22}, "对比度："},
            {"slider_br_3", "QSlider", "groupBox", {80, 296, 281, 24}, ""},
            {"label_br_3", "QLabel", "groupBox", {20, 296, 51, 22}, "饱和度："},
            {"pushButton_4", "QPushButton", "groupBox", {260, 370, 71, 36}, "删除"},
            {"pushButton_5", "QPushButton", "groupBox", {340, 370, 71, 36}, "清空"},
            {"checkBox", "QCheckBox", "groupBox", {100, 380, 97, 26}, "自动去底色"},
            {"checkBox_2", "QCheckBox", "groupBox", {350, 236, 97, 26}, "默认"},
            {"checkBox_3", "QCheckBox", "groupBox", {350, 266, 97, 26}, "默认"},
            {"checkBox_4", "QCheckBox", "groupBox", {350, 296, 97, 26}, "默认"},
            {"butten_pdf", "QPushButton", "groupBox", {225, 326, 101, 36}, "开始合成PDF"},
            {"defaultCam", "QComboBox", "groupBox", {270, 120, 121, 36}, ""},
            {"label_6", "QLabel", "groupBox", {200, 130, 70, 22}, "默认打开："},
            {"label_7", "QLabel", "groupBox", {21, 178, 42, 22}, "格式："},
            {"pic_format", "QComboBox", "groupBox", {70, 170, 121, 36}, ""},
            {"layoutWidget", "QWidget", "centralWidget", {0, 0, 2, 2}, ""},
            {"layoutWidget1", "QWidget", "centralWidget", {0, 0, 2, 2}, ""},
            {"layoutWidget2", "QWidget", "centralWidget", {0, 0, 2, 2}, ""},
            {"menuBar", "QMenuBar", "MainWindow", {0, 0, 1140, 36}, ""},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << r.name << r.cls << r.parent << r.geometry
                                  << QString::fromUtf8(r.text);
    }

    void widgetTree()
    {
        QFETCH(QString, name);
        MainWindow window;
        auto *w = window.findChild<QWidget *>(name);
        QVERIFY(w);
        QFETCH(QString, className);
        // The preview label carries no meta-object of its own.
        if (className == "CamLabel")
            QVERIFY(dynamic_cast<CamLabel *>(w));
        else
            QCOMPARE(QString(w->metaObject()->className()), className);
        QTEST(w->parentWidget()->objectName(), "parentName");
        QTEST(w->geometry(), "geometry");
        QTEST(textOf(w), "text");
    }

    void windowFrame()
    {
        MainWindow window;
        QCOMPARE(window.objectName(), QString("MainWindow"));
        QCOMPARE(window.windowTitle(), QString::fromUtf8("Zq高拍仪"));
        QCOMPARE(window.size(), QSize(1140, 720));
        QCOMPARE(window.minimumSize(), QSize(1140, 720));
        QCOMPARE(window.maximumSize(), QSize(1140, 720));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.testAttribute(Qt::WA_MouseTracking));
        QCOMPARE(window.centralWidget()->objectName(), QString("centralWidget"));
        QCOMPARE(window.menuBar()->objectName(), QString("menuBar"));
        QCOMPARE(window.statusBar()->objectName(), QString("statusBar"));
        auto *toolBar = widget<QToolBar>(window, "mainToolBar");
        QVERIFY(toolBar);
        QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
        QCOMPARE(toolBar->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(toolBar->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        for (const char *layout : {"verticalLayout", "verticalLayout_2", "verticalLayout_3"}) {
            auto *l = window.findChild<QVBoxLayout *>(layout);
            QVERIFY(l);
            QCOMPARE(l->spacing(), 6);
            QCOMPARE(l->contentsMargins(), QMargins(0, 0, 0, 0));
            QCOMPARE(l->count(), 0);
        }

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(1400, 900);
        QCOMPARE(window.size(), QSize(1140, 720));
    }

    void widgetSettings()
    {
        MainWindow window;
        auto *label = widget<CamLabel>(window, "label_V");
        QCOMPARE(label->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(label->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QVERIFY(label->hasMouseTracking());
        QCOMPARE(label->frameShape(), QFrame::Box);
        QCOMPARE(label->cropState, int(CamLabel::Idle));

        auto *group = widget<QGroupBox>(window, "groupBox");
        QCOMPARE(group->styleSheet(), QString::fromUtf8(kGroupBoxStyle));
        QCOMPARE(group->styleSheet().toUtf8().size(), 364);

        QVERIFY(!widget<QLineEdit>(window, "lineEdit")->isEnabled());
        QVERIFY(widget<QComboBox>(window, "jpg_quality")->isEnabled());
        QVERIFY(widget<QPushButton>(window, "pushButton")->hasMouseTracking());
        QVERIFY(!widget<QPushButton>(window, "pushButton")->isCheckable());
        for (const char *name : {"slider_br", "slider_br_2", "slider_br_3"}) {
            auto *s = widget<QSlider>(window, name);
            QCOMPARE(s->minimum(), 0);
            QCOMPARE(s->maximum(), 128);
            QCOMPARE(s->value(), 64);
            QCOMPARE(s->orientation(), Qt::Horizontal);
            QVERIFY(s->isEnabled());
        }
        QCOMPARE(widget<QSlider>(window, "slider_br")->minimumSize(), QSize(0, 24));
        for (const char *name : {"label", "label_2", "label_4", "label_3"})
            QCOMPARE(widget<QLabel>(window, name)->maximumHeight(), 16777215);
        QCOMPARE(widget<QLabel>(window, "label")->maximumWidth(), 101);
        QCOMPARE(widget<QLabel>(window, "label_2")->maximumWidth(), 81);
        QCOMPARE(widget<QLabel>(window, "label_4")->maximumWidth(), 111);
        QCOMPARE(widget<QLabel>(window, "label_3")->maximumWidth(), 91);

        auto *list = widget<QListWidget>(window, "listWidget");
        QCOMPARE(list->spacing(), 10);
        QCOMPARE(list->viewMode(), QListView::IconMode);
        QCOMPARE(list->iconSize(), QSize(100, 100));
        QCOMPARE(list->maximumHeight(), 200);
        QCOMPARE(list->flow(), QListView::TopToBottom);
        QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    void listEntries()
    {
        MainWindow window;
        const auto items = [&](const char *name) {
            return itemsOf(widget<QComboBox>(window, name));
        };
        QCOMPARE(items("cbColor"), QString::fromUtf8("彩色,灰色").split(','));
        QCOMPARE(items("cbRota"), QString::fromUtf8("正常,右转,左转,上下翻转").split(','));
        QCOMPARE(items("jpg_quality"), QString("10,20,30,40,50,60,70,80,100").split(','));
        QCOMPARE(items("cutting"), QString::fromUtf8("无裁边,手动裁边,自动裁边").split(','));
        QCOMPARE(items("defaultCam"), QString::fromUtf8("视频1,视频2,视频3").split(','));
        QCOMPARE(items("pic_format"), QString("jpeg,tiff").split(','));
        // No camera and no configuration: the size asked for is 0 x 0.
        QCOMPARE(items("cbFbl"), QStringList{"0*0"});
    }

    // ---- the settings the window starts from ---------------------------------

    void firstStartShowsDefaults()
    {
        MainWindow window;
        QCOMPARE(widget<QComboBox>(window, "cbColor")->currentIndex(), 0);
        QCOMPARE(widget<QComboBox>(window, "cbRota")->currentIndex(), 0);
        QCOMPARE(widget<QComboBox>(window, "jpg_quality")->currentText(), QString("60"));
        QCOMPARE(widget<QComboBox>(window, "cutting")->currentIndex(), 0);
        QCOMPARE(widget<QComboBox>(window, "defaultCam")->currentIndex(), 0);
        QCOMPARE(widget<QComboBox>(window, "pic_format")->currentIndex(), 0);
        QVERIFY(!widget<QCheckBox>(window, "checkBox")->isChecked());
        QCOMPARE(widget<QLineEdit>(window, "lineEdit")->text(), QString("/home/u"));
        QCOMPARE(widget<QPushButton>(window, "butten_pdf")->text(),
                 QString::fromUtf8("开始合成PDF"));
        MainWindowProbe probe(window);
        QCOMPARE(probe.cameraIndex(), 1);
        QVERIFY(probe.timer()->isActive());
        QCOMPARE(probe.timer()->interval(), 30);
        QVERIFY(fd < 0); // no camera attached
    }

    void storedSettingsMoveTheControls()
    {
        writeConfigFile("3\n1\n8\n2\n640\n480\n/data/scans\n2\n1\n1\n");
        MainWindow window;
        QCOMPARE(widget<QComboBox>(window, "cbRota")->currentIndex(), 3);
        QCOMPARE(widget<QComboBox>(window, "cbColor")->currentIndex(), 1);
        QCOMPARE(widget<QComboBox>(window, "jpg_quality")->currentIndex(), 8);
        QCOMPARE(widget<QComboBox>(window, "defaultCam")->currentIndex(), 2);
        QCOMPARE(widget<QComboBox>(window, "cutting")->currentIndex(), 2);
        QCOMPARE(widget<QComboBox>(window, "pic_format")->currentIndex(), 1);
        QCOMPARE(widget<QComboBox>(window, "cbFbl")->currentText(), QString("640*480"));
        QVERIFY(widget<QCheckBox>(window, "checkBox")->isChecked());
        QCOMPARE(widget<QLineEdit>(window, "lineEdit")->text(), QString("/data/scans"));
        QCOMPARE(MainWindowProbe(window).cameraIndex(), 3);
        QCOMPARE(widget<CamLabel>(window, "label_V")->cropState, int(CamLabel::Idle));
    }

    // Values outside the lists leave them without selection; only the boxes
    // wired before they are set store -1 back.
    void outOfRangeSettings()
    {
        writeConfigFile("7\n9\n5\n3\n0\n0\n/data\n0\n0\n5\n");
        hw().addCamera(2, [] {
            CameraConfig c = CameraConfig::documentCamera();
            c.modalias = "platform:vivid";
            return c;
        }());
        MainWindow window;
        QCOMPARE(widget<QComboBox>(window, "cbRota")->currentIndex(), -1);
        QCOMPARE(g_Config.rota, -1);
        QCOMPARE(widget<QComboBox>(window, "cbColor")->currentIndex(), -1);
        QCOMPARE(g_Config.color, -1);
        QCOMPARE(widget<QComboBox>(window, "defaultCam")->currentIndex(), -1);
        QCOMPARE(g_Config.default_cam, 3);
        QCOMPARE(widget<QComboBox>(window, "pic_format")->currentIndex(), -1);
        QCOMPARE(g_Config.picture_format, 5);
        // Camera index 4 takes the first video node of any kind.
        QCOMPARE(MainWindowProbe(window).cameraIndex(), 4);
        QVERIFY(fd > 0);
        QCOMPARE(hw().cameraForFd(fd), hw().camera(2));
    }

    void storedManualCropArmsTheLabel()
    {
        writeConfigFile("0\n0\n5\n0\n0\n0\n/data\n1\n0\n0\n");
        MainWindow window;
        QCOMPARE(widget<QComboBox>(window, "cutting")->currentIndex(), 1);
        auto *label = widget<CamLabel>(window, "label_V");
        QCOMPARE(label->cropState, int(CamLabel::Armed));
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QCOMPARE(label->cropState, int(CamLabel::Done));
    }

    // ---- closing ------------------------------------------------------------

    void quitButtonSavesLikeClosing()
    {
        writeConfigFile("1\n0\n5\n0\n0\n0\n/data/scans\n2\n1\n1\n");
        QByteArray byClose;
        {
            MainWindow window;
            window.show();
            widget<QComboBox>(window, "cbColor")->setCurrentIndex(1);
            QVERIFY(window.close());
            byClose = readConfigFile();
        }
        QCOMPARE(byClose, QByteArray("1\n1\n5\n0\n0\n0\n/data/scans\n2\n1\n1\n"));

        writeConfigFile("1\n0\n5\n0\n0\n0\n/data/scans\n2\n1\n1\n");
        MainWindow window;
        window.show();
        widget<QComboBox>(window, "cbColor")->setCurrentIndex(1);
        QTest::mousePress(widget<QPushButton>(window, "pushButton_7"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(readConfigFile(), byClose);
    }

    void nothingIsSavedWithoutClosing()
    {
        {
            MainWindow window;
            widget<QComboBox>(window, "cbRota")->setCurrentIndex(2);
        }
        QVERIFY(!QFile::exists(testConfigFile()));
    }

    // ---- the save-directory chooser -----------------------------------------

    void chooserRefusals_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("missing") << QString("/no/such/dir");
        QTest::newRow("too long") << QString("LONG");
        // The configuration file keeps the directory on one line.
        QTest::newRow("line feed") << QString("LINEFEED");
    }

    void chooserRefusals()
    {
        QFETCH(QString, answer);
        QTemporaryDir root;
        if (answer == "LONG") {
            // An existing, writable directory whose path leaves no room for
            // a file name.
            QString path = root.path();
            while (path.toUtf8().size() <= 232)
                path += "/" + QString(40, 'd');
            QVERIFY(QDir().mkpath(path));
            answer = path;
        } else if (answer == "LINEFEED") {
            answer = root.path() + "/two\nlines";
            QVERIFY(QDir().mkpath(answer));
        }
        DialogStub dialogs;
        DialogStub::answer = answer;
        writeConfigFile("0\n0\n5\n0\n0\n0\n/old/dir\n0\n0\n0\n");
        MainWindow window;
        QTest::mouseClick(widget<QPushButton>(window, "pushButton_6"), Qt::LeftButton);
        QCOMPARE(DialogStub::errorBoxes, 1);
        QCOMPARE(QByteArray(g_Config.save_dir), QByteArray("/old/dir"));
        QCOMPARE(widget<QLineEdit>(window, "lineEdit")->text(), QString("/old/dir"));
    }

    void chooserRefusesWhatTheUserCannotWrite()
    {
        QTemporaryDir dir;
        chmod(dir.path().toLocal8Bit().constData(), 0755); // root's: others cannot write
        writeConfigFile("0\n0\n5\n0\n0\n0\n/old/dir\n0\n0\n0\n");
        MainWindow window;
        const pid_t pid = fork();
        if (pid == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(100);
            DialogStub dialogs;
            DialogStub::answer = dir.path();
            QMetaObject::invokeMethod(&window, "ClickBt");
            const bool refused =
                DialogStub::errorBoxes == 1 && QByteArray(g_Config.save_dir) == "/old/dir";
            _exit(refused ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    void chooserAcceptsWritableDirectory()
    {
        QTemporaryDir dir;
        DialogStub dialogs;
        DialogStub::answer = dir.path();
        MainWindow window;
        QTest::mouseClick(widget<QPushButton>(window, "pushButton_6"), Qt::LeftButton);
        QCOMPARE(DialogStub::errorBoxes, 0);
        QCOMPARE(QString::fromUtf8(g_Config.save_dir), dir.path());
        QCOMPARE(widget<QLineEdit>(window, "lineEdit")->text(), dir.path());
    }
};

ZQ_GUI_TEST_MAIN(WindowTest)
#include "gui_window_test.moc"
