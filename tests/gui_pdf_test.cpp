// zqvideo's PDF button with the real libzqscan and libzqpdf, on the
// virtual camera.
#include "gui_frame_harness.h"

#include "pdf_tools.h"

#include <QPushButton>

using namespace zq::sim;

class PdfButtonTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void init()
    {
        startFresh();
        hw().addCamera(0, camera1280x720());
        window = startWindow(startSettings(1280, 720, saveDir->path()));
    }
    void cleanup() { finish(); }

    void unusableDirectoryKeepsRecordingOff()
    {
        g_Config.save_dir[0] = '\0';
        clickPdf();
        QCOMPARE(DialogStub::errorBoxes(), 1);
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
        capture();
        const QStringList pages = filesIn(saveDir->path()).mid(1);
        std::list<std::string> expected;
        for (const QString &p : pages)
            expected.push_back(saveDir->filePath(p).toStdString());
        QCOMPARE(MainWindowProbe(*window).pdfImageList(), expected);
        clickPdf();
        QCOMPARE(button()->text(), QString::fromUtf8("开始合成PDF"));
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());

        const QString pdf = onlyPdf();
        QVERIFY(QRegularExpression("^\\d{17}\\.pdf$").match(pdf).hasMatch());
        const std::string path = saveDir->filePath(pdf).toStdString();
        QVERIFY(zq::test::qpdfCheckPasses(path, nullptr));
        QCOMPARE(zq::test::pdfPageSizes(path).size(), size_t(3));
        // The JPEG streams are the captured files, in capture order.
        const auto extracted = zq::test::extractImages(path, saveDir->filePath("x").toStdString());
        QCOMPARE(extracted.size(), size_t(3));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fileBytes(QString::fromStdString(extracted[i])),
                     fileBytes(saveDir->filePath(pages[i])));
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
    void clickPdf()
    {
        QTest::qWait(2); // a time stamp of its own
        QTest::mouseClick(button(), Qt::LeftButton);
    }
    void capture()
    {
        QTest::qWait(2);
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
