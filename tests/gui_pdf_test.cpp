// zqvideo's PDF button with the real libzqscan and libzqpdf, on the
// virtual camera.
#include "gui_frame_harness.h"

#include "leaveoutquestion.h"
#include "pdf_tools.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <csignal>

using namespace zq::sim;

class PdfButtonTest : public WindowTest
{
    Q_OBJECT

  private slots:
    // Pages on A4, whatever the tester's locale.
    void initTestCase() { setlocale(LC_PAPER, "C"); }

    void init() { startWindowOn(camera1280x720(), 1280, 720); }
    void cleanup() { finish(); }

    void unusableDirectoryKeepsRecordingOff()
    {
        g_Config.save_dir[0] = '\0';
        clickPdf();
        QCOMPARE(DialogStub::errorBoxes, 1);
        QCOMPARE(button()->text(), QString::fromUtf8("开始合成PDF"));
        strcpy(g_Config.save_dir, saveDir->path().toUtf8().constData());
        capture();
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
    }

    void pagesInCaptureOrder()
    {
        capture(); // before the start: not part of the PDF
        clickPdf();
        QCOMPARE(button()->text(), QString::fromUtf8("停止合成PDF"));
        capture();
        capture();
        QCOMPARE(pageCount(), QString::fromUtf8("PDF：已收集 2 页"));
        capture();
        const QStringList pages = filesIn(saveDir->path()).mid(1);
        std::list<std::string> expected;
        for (const QString &p : pages)
            expected.push_back(saveDir->filePath(p).toStdString());
        QCOMPARE(MainWindowProbe(*window).pdfImageList(), expected);
        clickPdf();
        QCOMPARE(button()->text(), QString::fromUtf8("开始合成PDF"));
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
        QVERIFY(!window->findChild<QLabel *>("pdfPageCount")->isVisible());

        const QString pdf = onlyPdf();
        QVERIFY(QRegularExpression("^\\d{17}\\.pdf$").match(pdf).hasMatch());
        const QString saved = window->statusBar()->currentMessage();
        QVERIFY2(pdfSavedMessageFits(saved, saveDir->filePath(pdf), 3), qPrintable(saved));
        const std::string path = saveDir->filePath(pdf).toStdString();
        QVERIFY(zq::test::qpdfCheckPasses(path, nullptr));
        // 16:9 frames lie on A4 turned to landscape, touching its long edges.
        const auto sizes = zq::test::pdfPageSizes(path);
        QCOMPARE(sizes.size(), size_t(3));
        for (const auto &size : sizes) {
            QVERIFY(qAbs(size.width - 841.89) < 1);
            QVERIFY(qAbs(size.height - 841.89 * 9 / 16) < 1);
        }
        // The JPEG streams are the captured files, in capture order.
        const auto extracted = zq::test::extractImages(path, saveDir->filePath("x").toStdString());
        QCOMPARE(extracted.size(), size_t(3));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fileBytes(QString::fromStdString(extracted[i])),
                     fileBytes(saveDir->filePath(pages[i])));
    }

    // A page still being written when the collection starts or stops
    // belongs to the collection as it was when the page was taken.
    void pageBeingWrittenAtThePress()
    {
        startCapture();                              // taken before the start
        QTest::mouseClick(button(), Qt::LeftButton); // before the page is reported
        capture();
        QCOMPARE(MainWindowProbe(*window).pdfImageList().size(), size_t(1));
        startCapture(); // taken before the stop
        QTest::mouseClick(button(), Qt::LeftButton);
        QVERIFY(pdfComposed(*window));
        const auto sizes = zq::test::pdfPageSizes(saveDir->filePath(onlyPdf()).toStdString());
        QCOMPARE(sizes.size(), size_t(2));
    }

    void deletedPageLeavesNothingToCompose()
    {
        clickPdf();
        capture();
        widget<QListWidget>(*window, "listWidget")->item(0)->setSelected(true);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_4"), Qt::LeftButton);
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
        clickPdf();
        QVERIFY(filesIn(saveDir->path()).isEmpty());
        QCOMPARE(window->statusBar()->currentMessage(),
                 QString::fromUtf8("没有收集到页面，未生成 PDF"));
    }

    // Ctrl+Z puts deleted pages back into the collection they left, not
    // into a later one.
    void undoIntoAnotherCollection()
    {
        clickPdf();
        capture();
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_5"), Qt::LeftButton);
        clickPdf(); // nothing to compose
        clickPdf();
        window->findChild<QAction *>("actionUndoDelete")->trigger();
        QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), 1);
        QCOMPARE(pageCount(), QString::fromUtf8("PDF：已收集 0 页"));
    }

    // A PDF that cannot be written (here: past the file-size limit of the
    // process) says why and keeps the collection for the next press.
    void failureKeepsTheCollection()
    {
        clickPdf();
        capture();
        capture();
        QTest::qWait(2);
        const pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            const rlim_t unlimited = limit.rlim_cur;
            limit.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &limit);
            QTest::mouseClick(button(), Qt::LeftButton);
            const bool composed = pdfComposed(*window);
            const QString failure = window->statusBar()->currentMessage();
            const bool kept = composed && failure.startsWith(QString::fromUtf8("PDF 合成失败：")) &&
                              failure.contains("File too large") &&
                              button()->text() == QString::fromUtf8("停止合成PDF") &&
                              MainWindowProbe(*window).pdfImageList().size() == 2 &&
                              pageCount() == QString::fromUtf8("PDF：已收集 2 页") &&
                              onlyPdf().isEmpty();
            limit.rlim_cur = unlimited;
            setrlimit(RLIMIT_FSIZE, &limit);
            QTest::qWait(2);
            QTest::mouseClick(button(), Qt::LeftButton);
            _exit(kept && pdfComposed(*window) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(zq::test::pdfPageSizes(saveDir->filePath(onlyPdf()).toStdString()).size(),
                 size_t(2));
    }

    // A collected page whose file is no picture any more is named before
    // anything is composed: left out when the user says so (it stays in
    // the list), else nothing is composed and the collection stays.
    void unusablePageIsLeftOutOnRequest()
    {
        clickPdf();
        capture();
        capture();
        const QString broken =
            QString::fromStdString(MainWindowProbe(*window).pdfImageList().front());
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("text") == 4);
        file.close();
        static QStringList asked;
        static bool leaveOut;
        const auto realQuestion = askToLeaveOut;
        askToLeaveOut = [](QWidget *, const QStringList &problems) {
            asked = problems;
            return leaveOut;
        };
        leaveOut = false;
        QTest::qWait(2);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(asked, QStringList{QFileInfo(broken).fileName() +
                                    QString::fromUtf8("：不是 JPEG 或 TIFF 图片")});
        QCOMPARE(MainWindowProbe(*window).pdfImageList().size(), size_t(2));
        QVERIFY(onlyPdf().isEmpty());
        leaveOut = true;
        clickPdf();
        askToLeaveOut = realQuestion;
        QCOMPARE(zq::test::pdfPageSizes(saveDir->filePath(onlyPdf()).toStdString()).size(),
                 size_t(1));
        QCOMPARE(widget<QListWidget>(*window, "listWidget")->count(), 2);
    }

    void deleteAllThenCapture()
    {
        clickPdf();
        capture();
        capture();
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_5"), Qt::LeftButton);
        capture();
        clickPdf();
        QCOMPARE(zq::test::pdfPageSizes(saveDir->filePath(onlyPdf()).toStdString()).size(),
                 size_t(1));
    }

    void secondRecordingStartsEmpty()
    {
        clickPdf();
        capture();
        clickPdf();
        clickPdf();
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
        capture();
        QCOMPARE(MainWindowProbe(*window).pdfImageList().size(), size_t(1));
    }

  private:
    QPushButton *button() { return widget<QPushButton>(*window, "butten_pdf"); }
    QString pageCount()
    {
        auto *label = window->findChild<QLabel *>("pdfPageCount");
        return label->isVisibleTo(window.get()) ? label->text() : QString();
    }
    void clickPdf()
    {
        QTest::qWait(2); // a time stamp of its own
        QTest::mouseClick(button(), Qt::LeftButton);
        QVERIFY(pdfComposed(*window));
    }
    void capture()
    {
        QTest::qWait(2);
        tick(*window); // a frame in view, as a capture needs
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        tick(*window);
    }
    // A capture left to its worker.
    void startCapture()
    {
        QTest::qWait(2);
        tick(*window);
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        window->TimerUpdate();
    }
    QString onlyPdf()
    {
        const QStringList pdfs = QDir(saveDir->path()).entryList({"*.pdf"}, QDir::Files);
        return pdfs.size() == 1 ? pdfs[0] : QString();
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

ZQ_GUI_TEST_MAIN(PdfButtonTest)
#include "gui_pdf_test.moc"
