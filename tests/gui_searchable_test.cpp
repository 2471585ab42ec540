// zqvideo's PDF settings, "可搜索 PDF" and "PDF 文件大小", with the real
// libzqscan and libzqpdf, on a virtual camera whose page carries real text.
#include "gui_frame_harness.h"

#include "pages_pdf.h"
#include "pdf_tools.h"
#include "searchable_pdf.h"

#include <zqscan/zq_pdf.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>

#include <clocale>

using namespace zq::sim;

namespace
{

CameraConfig textCamera()
{
    PageScene page;
    page.pageWidth = 0.45;
    page.aspect = 1.0;
    page.lines = {"Searchable camera pages", "拍成清晰的图片"};
    page.font = ZQ_TEXT_FONT;
    page.textSize = 0.05;
    return cameraWith({FrameSize::discrete(1920, 1080)}, page);
}

bool switchKept(const char *key = "pdf/searchable")
{
    return QSettings(QFile::decodeName(programSettingsPath().c_str()), QSettings::IniFormat)
        .value(key)
        .toBool();
}

} // namespace

class SearchablePdfTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void initTestCase() { setlocale(LC_PAPER, "C"); }

    void init() { startWindowOn(textCamera(), 1920, 1080); }
    void cleanup()
    {
        finish();
        zq_pdf_set_text_layer(nullptr);
        zq_pdf_set_page_encoding(ZQ_PDF_ENCODING_ORIGINAL);
        QLocale::setDefault(QLocale::system());
    }

    void switchIsOffAtFirstStartAndKept()
    {
        QVERIFY(action()->isCheckable());
        QVERIFY(!action()->isChecked());
        QVERIFY(window->menuBar()->findChild<QMenu *>("menuPdf")->actions().contains(action()));
        action()->trigger();
        QVERIFY(action()->isChecked());
        QVERIFY(switchKept());

        window.reset();
        window = std::make_unique<MainWindow>();
        QVERIFY(action()->isChecked());
        action()->trigger();
        QVERIFY(!switchKept());
    }

    // The pages are recognised while the window goes on; the stop press
    // shows how far that is, and the PDF can be searched.
    void collectedPdfCanBeSearched()
    {
        action()->trigger();
        QSignalSpy messages(window->statusBar(), &QStatusBar::messageChanged);
        clickPdf();
        capture();
        capture();
        QSignalSpy ticks(MainWindowProbe(*window).timer(), &QTimer::timeout);
        clickPdf();
        QVERIFY(!button()->isEnabled());
        QVERIFY(pdfComposed(*window));
        QVERIFY(button()->isEnabled());

        const QRegularExpression progress(QString::fromUtf8("^正在识别文字 [01]/2$"));
        const auto shown = std::find_if(messages.begin(), messages.end(), [&](const auto &m) {
            return progress.match(m.at(0).toString()).hasMatch();
        });
        QVERIFY2(shown != messages.end(), "no progress shown");
        QVERIFY2(ticks.count() > 0, "the preview stood still while the pages were recognised");
        QVERIFY(
            window->statusBar()->currentMessage().startsWith(QString::fromUtf8("PDF 已保存：")));

        const QStringList pdfs = QDir(saveDir->path()).entryList({"*.pdf"}, QDir::Files);
        QCOMPARE(pdfs.size(), 1);
        const std::string pdf = saveDir->filePath(pdfs[0]).toStdString();
        for (int page : {1, 2}) {
            const QString text = QString::fromStdString(zq::test::pdfText(pdf, page));
            QVERIFY2(text.contains("Searchable"), qPrintable(text));
            QVERIFY2(QString(text).remove(' ').contains(QString::fromUtf8("清晰的图片")),
                     qPrintable(text));
        }
    }

    // A composition can be given up while the pages are recognised: no PDF
    // is left, and the collection stays for another stop press.
    void compositionCanBeCancelled()
    {
        action()->trigger();
        clickPdf();
        capture();
        clickPdf();
        auto *cancel = window->findChild<QAction *>("actionCancelPdf");
        QVERIFY(cancel->isEnabled());
        cancel->trigger();
        QTRY_VERIFY(button()->isEnabled());
        QCOMPARE(window->statusBar()->currentMessage(),
                 QString::fromUtf8("已取消合成 PDF，收集的页面都在"));
        QVERIFY(!cancel->isEnabled());
        QVERIFY(QDir(saveDir->path()).entryList({"*.pdf"}, QDir::Files).isEmpty());
        QCOMPARE(MainWindowProbe(*window).pdfImageList().size(), size_t(1));
    }

    // A PDF of listed pages given up while it is written leaves the file
    // it was to replace as it was, and nothing beside it.
    void cancelledPdfKeepsTheFileItWouldReplace()
    {
        compact()->trigger(); // slower to write: the cancel comes meanwhile
        for (int page = 0; page < 4; ++page)
            capture();
        const QString output = saveDir->filePath("kept.pdf");
        QFile earlier(output);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("the earlier PDF") > 0);
        earlier.close();
        composeListedPages(output);
        window->findChild<QAction *>("actionCancelPdf")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(button()->isEnabled(), 60000);
        QCOMPARE(window->statusBar()->currentMessage(), QString::fromUtf8("已取消合成 PDF"));
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("the earlier PDF"));
        QCOMPARE(QDir(saveDir->path()).entryList({".*.tmp"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // So is a PDF of the list's pages, made while the collection's button
    // waits.
    void pdfOfListedPagesCanBeSearched()
    {
        action()->trigger();
        capture();
        const QString output = saveDir->filePath("listed.pdf");
        QSignalSpy messages(window->statusBar(), &QStatusBar::messageChanged);
        composeListedPages(output);
        QVERIFY(!button()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button()->isEnabled(), 180000);
        QVERIFY(std::any_of(messages.begin(), messages.end(), [](const auto &m) {
            return m.at(0).toString() == QString::fromUtf8("正在识别文字 0/1");
        }));
        const QString text = QString::fromStdString(zq::test::pdfText(output.toStdString(), 1));
        QVERIFY2(text.contains("Searchable"), qPrintable(text));
    }

    // The same listed pages, as captured and then compact; the choice is
    // kept, and waits while a PDF is made.
    void compactChoiceIsKeptAndShrinksThePdf()
    {
        auto *menu = window->findChild<QMenu *>("menuPdfSize");
        QVERIFY(window->findChild<QMenu *>("menuPdf")->actions().contains(menu->menuAction()));
        QVERIFY(asCaptured()->isChecked() && !compact()->isChecked());
        capture();
        capture();
        const QString original = saveDir->filePath("original.pdf");
        composeListedPages(original);
        QTRY_VERIFY_WITH_TIMEOUT(button()->isEnabled(), 60000);

        compact()->trigger();
        QVERIFY(compact()->isChecked() && !asCaptured()->isChecked());
        QVERIFY(switchKept("pdf/compact"));
        const QString small = saveDir->filePath("compact.pdf");
        composeListedPages(small);
        QVERIFY(!menu->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button()->isEnabled(), 60000);
        QVERIFY(menu->isEnabled());
        const QString message = window->statusBar()->currentMessage();
        QVERIFY2(pdfSavedMessageFits(message, small, 2), qPrintable(message));
        QVERIFY(zq::test::qpdfCheckPasses(small.toStdString(), nullptr));
        const qint64 shrunk = QFileInfo(small).size(), was = QFileInfo(original).size();
        QVERIFY2(shrunk * 4 < was, qPrintable(QString("%1 against %2 bytes").arg(shrunk).arg(was)));
        // The text of each page stays sharp, bilevel at the frame's resolution
        // (164 pixels an inch on landscape A4).
        const auto images = zq::test::pdfImageList(small.toStdString());
        QCOMPARE(std::count_if(images.begin(), images.end(),
                               [](const zq::test::ImageEntry &image) {
                                   return image.bits == 1 && image.width == 1920 &&
                                          image.height == 1080;
                               }),
                 2L);

        window.reset();
        window = std::make_unique<MainWindow>();
        QVERIFY(compact()->isChecked());
        asCaptured()->trigger();
        QVERIFY(!switchKept("pdf/compact"));
    }

    void localeWithoutItsModelReadsChineseAndEnglish()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        action()->trigger();
        QVERIFY(action()->isChecked());
        const QString note = window->statusBar()->currentMessage();
        QVERIFY2(note.startsWith(QString::fromUtf8("只识别中文和英文：")) && note.contains("deu"),
                 qPrintable(note));
    }

    void languagesOfTheLocale()
    {
        QCOMPARE(recognitionLanguages(QLocale(QLocale::German)), QString("deu+chi_sim+eng"));
        QCOMPARE(recognitionLanguages(QLocale(QLocale::English)), QString("eng+chi_sim"));
        QCOMPARE(recognitionLanguages(QLocale(QLocale::Chinese, QLocale::China)),
                 QString("chi_sim+eng"));
        QCOMPARE(recognitionLanguages(QLocale(QLocale::Chinese, QLocale::Taiwan)),
                 QString("chi_tra+chi_sim+eng"));
        QCOMPARE(recognitionLanguages(QLocale::c()), QString("chi_sim+eng"));
    }

  private:
    QAction *action() { return window->findChild<QAction *>("actionSearchablePdf"); }
    QAction *asCaptured() { return window->findChild<QAction *>("actionPdfAsCaptured"); }
    QAction *compact() { return window->findChild<QAction *>("actionPdfCompact"); }
    // Starts a PDF of all listed pages, written to path.
    void composeListedPages(const QString &path)
    {
        static QString output;
        output = path;
        const PagesPdf::Hooks saved = PagesPdf::hooks;
        PagesPdf::hooks = {[](QWidget *, const QString &) { return output; }};
        window->findChild<QAction *>("actionPdfFromAll")->trigger();
        PagesPdf::hooks = saved;
    }
    QPushButton *button() { return widget<QPushButton>(*window, "butten_pdf"); }
    void clickPdf()
    {
        QTest::qWait(2); // a time stamp of its own
        QTest::mouseClick(button(), Qt::LeftButton);
    }
    void capture()
    {
        QTest::qWait(2);
        tick(*window); // a frame in view, as a capture needs
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        tick(*window);
    }
};

ZQ_GUI_TEST_MAIN(SearchablePdfTest)
#include "gui_searchable_test.moc"
