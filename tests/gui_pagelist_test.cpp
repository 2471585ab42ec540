// The window's keys and the page list: capture, delete and PDF by key
// wherever the focus is but in a widget that uses the key itself, reordering, turning and opening
// pages.
#include "gui_frame_harness.h"
#include "liveview.h"
#include "pageviewer.h"
#include "zoomview.h"

#include "pdf_tools.h"
#include "picture_files.h"

#include <QAction>
#include <QLabel>
#include <QWheelEvent>
#include <QDesktopServices>
#include <QPushButton>
#include <QStatusBar>
#include <QThreadPool>
#include <QTransform>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

using namespace zq::sim;

// Stands in for the desktop's viewer.
class Viewer : public QObject
{
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl &url) { opened << url; }
};

class PageListTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void init()
    {
        startFresh();
        camera = &hw().addCamera(0, camera1280x720());
    }
    void cleanup() { finish(); }

    // Space, Return and Page Down capture with the focus on a closed combo
    // box, a button or a slider; a key held down captures once.  The
    // buttons say so.
    void captureKeysWorkWhereverTheFocusIs()
    {
        startShown(startSettings(1280, 720, saveDir->path()));
        int expected = 0;
        for (const char *focus : {"cbColor", "cutting", "pushButton_6", "slider_br"})
            for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_PageDown}) {
                QWidget *target = widget<QWidget>(*window, focus);
                target->setFocus();
                QTest::keyClick(target, key);
                tick();
                QCOMPARE(pageCount(), ++expected);
            }
        QCOMPARE(widget<QComboBox>(*window, "cutting")->currentIndex(), 0);

        QWidget *box = widget<QWidget>(*window, "cbColor");
        box->setFocus();
        QTest::simulateEvent(box, true, Qt::Key_Space, Qt::NoModifier, " ", false);
        tick();
        for (int repeat = 0; repeat < 3; ++repeat) {
            QTest::simulateEvent(box, true, Qt::Key_Space, Qt::NoModifier, " ", true);
            tick();
        }
        QTest::simulateEvent(box, false, Qt::Key_Space, Qt::NoModifier, " ", false);
        QCOMPARE(pageCount(), expected + 1);

        const QString captureTip = widget<QPushButton>(*window, "pushButton_3")->toolTip();
        for (const char *key : {"Space", "Return", "PgDown"})
            QVERIFY2(captureTip.contains(key), qPrintable(captureTip));
        QVERIFY(widget<QPushButton>(*window, "pushButton_4")->toolTip().contains("Del"));
        QVERIFY(widget<QPushButton>(*window, "butten_pdf")->toolTip().contains("Ctrl+P"));
    }

    // The page list keeps Space and Return, where Page Down still captures;
    // Return in an open drop-down list chooses the entry.  (Return on a
    // closed one captures, above.)
    void keysTheFocusedWidgetUsesCaptureNothing()
    {
        startShown(startSettings(1280, 720, saveDir->path()));
        QWidget *list = widget<QWidget>(*window, "listWidget");
        list->setFocus();
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(list, key);
            tick();
        }
        QCOMPARE(pageCount(), 0);
        QTest::keyClick(list, Qt::Key_PageDown);
        tick();
        QCOMPARE(pageCount(), 1);

        auto *box = widget<QComboBox>(*window, "cbRota");
        box->setFocus(); // as the click that opens it
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
        tick();
        QCOMPARE(pageCount(), 1);
        QCOMPARE(box->currentIndex(), 1);
        QVERIFY(!box->view()->isVisible());
    }

    // Delete sends the selected page to the trash; Ctrl+P starts and stops
    // the PDF like its button.  The list follows each new page.
    void deleteAndPdfKeys()
    {
        startShown(startSettings(1280, 720, saveDir->path()));
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(widget<QPushButton>(*window, "butten_pdf")->text(),
                 QString::fromUtf8("停止合成PDF"));
        for (int i = 0; i < 12; ++i)
            capturePage();
        auto *list = widget<QListWidget>(*window, "listWidget");
        QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->item(11)).center()));
        QVERIFY(!list->viewport()->rect().intersects(list->visualItemRect(list->item(0))));

        QAction *deletePage = window->findChild<QAction *>("actionDeletePage");
        QVERIFY(!deletePage->isEnabled());
        const QString name = list->item(0)->text();
        list->item(0)->setSelected(true);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(pageCount(), 11);
        QVERIFY(QFile::exists(testTrashDir() + "/files/" + name));

        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(pdfComposed(*window));
        QCOMPARE(widget<QPushButton>(*window, "butten_pdf")->text(),
                 QString::fromUtf8("开始合成PDF"));
        const QStringList pdfs = QDir(saveDir->path()).entryList({"*.pdf"});
        QCOMPARE(pdfs.size(), 1);
        QCOMPARE(zq::test::pdfPageSizes(saveDir->filePath(pdfs[0]).toStdString()).size(),
                 size_t(11));
    }

    // A page moved in the list moves in the PDF.
    void reorderedListGivesThePdfOrder()
    {
        start(startSettings(1280, 720, saveDir->path()));
        QTest::mouseClick(widget<QPushButton>(*window, "butten_pdf"), Qt::LeftButton);
        QStringList pages;
        for (int i = 0; i < 3; ++i) {
            PageScene scene = offCentrePage();
            scene.centerX += 0.1 * i;
            camera->setScene(scene);
            pages << saveDir->filePath(capturePage());
        }
        auto *list = widget<QListWidget>(*window, "listWidget");
        QVERIFY(list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
        QTest::mouseClick(widget<QPushButton>(*window, "butten_pdf"), Qt::LeftButton);
        QVERIFY(pdfComposed(*window));

        const QString pdf = saveDir->filePath(QDir(saveDir->path()).entryList({"*.pdf"}).value(0));
        const auto images =
            zq::test::extractImages(pdf.toStdString(), saveDir->filePath("x").toStdString());
        QCOMPARE(images.size(), size_t(3));
        const QStringList order{pages[1], pages[2], pages[0]};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(zq::test::readFile(images[i]), zq::test::readFile(order[i].toStdString()));
    }

    // Turning a JPEG page moves its DCT blocks: the pixels are those of the
    // original turned, less the partial block column that cannot move (the
    // float transform may round a sample in a hundred thousand the other
    // way; decoding and encoding again would change them all).  A TIFF page
    // is decoded, turned and written again.  The thumbnail follows.
    void turningRewritesThePage()
    {
        ZqConfig settings = startSettings(1280, 720, saveDir->path());
        settings.cutting_mode = CropMode::Automatic;
        start(settings);
        const QString jpeg = saveDir->filePath(capturePage());
        const QImage original = decodedExactly(jpeg);
        QVERIFY(original.width() % 16 != 0); // a partial block column to trim
        auto *list = widget<QListWidget>(*window, "listWidget");
        QTRY_VERIFY(!list->item(0)->icon().isNull());
        const QImage iconBefore = list->item(0)->icon().pixmap(100, 100).toImage();
        list->item(0)->setSelected(true);
        window->findChild<QAction *>("actionTurnLeft")->trigger();
        const QImage turned = decodedExactly(jpeg);
        const int whole = original.width() / 16 * 16;
        QCOMPARE(turned.size(), QSize(original.height(), whole));
        const QImage expected = original.transformed(QTransform().rotate(-90))
                                    .copy(0, original.width() - whole, original.height(), whole);
        QVERIFY(meanDifference(turned, expected) < 1e-4);
        QTRY_VERIFY(list->item(0)->icon().pixmap(100, 100).toImage() != iconBefore);

        g_Config.picture_format = PictureFormat::Tiff;
        const QString tiff = saveDir->filePath(capturePage());
        const QImage page(tiff);
        list->item(1)->setSelected(true);
        window->findChild<QAction *>("actionTurnRight")->trigger();
        // What one more encoding at quality 60 loses of sharp text; a wrong
        // turn would differ by tens.
        QVERIFY(meanDifference(QImage(tiff), page.transformed(QTransform().rotate(90))) < 8);
        QCOMPARE(QDir(saveDir->path()).entryList(QDir::Hidden | QDir::Files).size(), 2);
    }

    // A FIFO or a device put in a page's place is refused at once, turned
    // or shown: the window waits neither for a writer nor for the end of
    // /dev/zero.
    void pagesThatAreNoFilesAreRefusedAtOnce()
    {
        start(startSettings(1280, 720, saveDir->path()));
        auto *list = widget<QListWidget>(*window, "listWidget");
        const QByteArray fifo = QFile::encodeName(saveDir->filePath(capturePage()));
        const QByteArray device = QFile::encodeName(saveDir->filePath(capturePage()));
        QVERIFY(unlink(fifo) == 0 && mkfifo(fifo, 0600) == 0);
        QVERIFY(unlink(device) == 0 && symlink("/dev/zero", device) == 0);
        list->selectAll();
        window->findChild<QAction *>("actionTurnLeft")->trigger();
        const QStringList report =
            window->statusBar()->currentMessage().split(QString::fromUtf8("；"));
        QCOMPARE(report.size(), 2);
        for (const QString &line : report)
            QVERIFY2(line.endsWith(QString::fromUtf8("无法旋转：不是普通文件，或大于 256 MiB")),
                     qPrintable(line));
        auto *viewer = window->findChild<PageViewer *>("pageViewer");
        viewer->showPage(0);
        const QString state = viewer->findChild<QLabel *>()->text();
        QVERIFY2(state.endsWith(QString::fromUtf8("不是普通文件")), qPrintable(state));
    }

    // Thumbnails arrive after the capture: each lands on its own page, also
    // when its page was deleted or turned before it came.
    void thumbnailsFollowTheirPages()
    {
        start(startSettings(1280, 720, saveDir->path()));
        auto *list = widget<QListWidget>(*window, "listWidget");
        capturePage();
        list->item(0)->setSelected(true);
        window->findChild<QAction *>("actionDeletePage")->trigger();
        const QString kept = saveDir->filePath(capturePage());
        const QString turned = saveDir->filePath(capturePage());
        const QImage unturned = expectedThumbnail(QImage(turned));
        list->item(1)->setSelected(true);
        window->findChild<QAction *>("actionTurnLeft")->trigger();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(pageCount(), 2);
        const auto showsPage = [&](int item, const QString &path) {
            const QImage icon = list->item(item)->icon().pixmap(100, 100).toImage();
            return icon.size() == QSize(100, 100) &&
                   meanDifference(icon, expectedThumbnail(QImage(path))) < 8;
        };
        QVERIFY(showsPage(0, kept));
        QVERIFY(showsPage(1, turned));
        QVERIFY(meanDifference(unturned, expectedThumbnail(QImage(turned))) >= 8);

        window->findChild<QAction *>("actionUndoDelete")->trigger();
        QCOMPARE(pageCount(), 3);
        QTRY_VERIFY(!list->item(0)->icon().isNull());
    }

    // The page's menu opens it in the desktop's viewer, a double click in
    // the program's own, which zooms and goes on to the next page.
    void pagesOpenInTheViewers()
    {
        startShown(startSettings(1280, 720, saveDir->path()));
        Viewer viewer;
        QDesktopServices::setUrlHandler("file", &viewer, "open");
        const QUrl page = QUrl::fromLocalFile(saveDir->filePath(capturePage()));
        capturePage();
        auto *list = widget<QListWidget>(*window, "listWidget");
        list->item(0)->setSelected(true);
        window->findChild<QAction *>("actionOpenPage")->trigger();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(viewer.opened, QList<QUrl>{page});

        const QPoint centre = list->visualItemRect(list->item(0)).center();
        // A double click as the window system sends it: a click, then the second press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        auto *pages = window->findChild<PageViewer *>("pageViewer");
        QTRY_COMPARE(QApplication::activeWindow(), pages);
        QCOMPARE(pages->currentRow(), 0);
        ZoomView *view = pages->view();
        QCOMPARE(view->sceneRect().size().toSize(), QImage(page.toLocalFile()).size());
        QVERIFY(view->fitsWindow() && view->zoom() < 1);
        QTest::keyClick(pages, Qt::Key_1);
        QCOMPARE(view->zoom(), 1.0);
        QWheelEvent wheel(QPointF(50, 50), view->mapToGlobal(QPoint(50, 50)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(view->zoom() > 1);
        QTest::keyClick(pages, Qt::Key_PageDown);
        QCOMPARE(pages->currentRow(), 1);
        QVERIFY(view->fitsWindow());
    }

    // F11 or a double click on the preview shows the live picture large,
    // frame by frame, at 100 % when asked.
    void liveViewShowsTheFrameLarge()
    {
        startShown(startSettings(1280, 720, saveDir->path()));
        tick();
        auto *live = window->findChild<LiveView *>("liveView");
        QVERIFY(!live->isVisible());
        QTest::mouseDClick(widget<QLabel>(*window, "label_V"), Qt::LeftButton);
        QTRY_COMPARE(QApplication::activeWindow(), live);
        tick();
        QCOMPARE(live->view()->sceneRect().size().toSize(), QSize(1280, 720));
        QTest::keyClick(live, Qt::Key_1);
        QCOMPARE(live->view()->zoom(), 1.0);
        QTest::keyClick(live, Qt::Key_Escape);
        QVERIFY(!live->isVisible());
        window->findChild<QAction *>("actionLiveView")->trigger();
        QVERIFY(live->isVisible());
    }

  private:
    void start(const ZqConfig &settings) { window = startWindow(settings); }
    void startShown(const ZqConfig &settings)
    {
        start(settings);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        tick(); // a frame in view, as a capture needs
    }

    // The next frame, in a millisecond of its own.
    void tick()
    {
        QTest::qWait(2);
        ::tick(*window);
    }

    // Captures one page with the button and returns its name.
    QString capturePage()
    {
        tick();
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        tick();
        auto *list = widget<QListWidget>(*window, "listWidget");
        return list->item(list->count() - 1)->text();
    }

    int pageCount() { return widget<QListWidget>(*window, "listWidget")->count(); }

    static QImage decodedExactly(const QString &path)
    {
        const auto p =
            zq::test::readJpeg(path.toStdString(), zq::test::JpegDecoding::TurnInvariant);
        return frameImage(p.samples.data(), p.width, p.height);
    }

    VirtualCamera *camera = nullptr;
};

ZQ_GUI_TEST_MAIN(PageListTest)
#include "gui_pagelist_test.moc"
