// Pages of the list beyond the camera: several selected at once, added
// from files, numbered and shown in proportion, and PDFs of any of them.
#include "gui_frame_harness.h"

#include "page_import.h"
#include "pages_pdf.h"
#include "pdf_tools.h"
#include "picture_files.h"

#include <QAction>
#include <QImageReader>
#include <QPushButton>
#include <QStatusBar>

using namespace zq::sim;

// Stands in for the save dialog and the file dialog, remembering what the
// save dialog offered.
class PageDialogStub
{
  public:
    PageDialogStub() : pdf_(PagesPdf::hooks), import_(PageImport::hooks)
    {
        offered.clear();
        PagesPdf::hooks = {[](QWidget *, const QString &proposed) {
            offered = proposed;
            return output;
        }};
        PageImport::hooks = {[](QWidget *, const QString &) { return files; }};
    }
    ~PageDialogStub()
    {
        PagesPdf::hooks = pdf_;
        PageImport::hooks = import_;
    }
    // Shared with the hooks, which capture nothing.
    static inline QString offered;
    static inline QString output;
    static inline QStringList files;

  private:
    PagesPdf::Hooks pdf_;
    PageImport::Hooks import_;
};

class PagesTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void init()
    {
        startFresh();
        camera = &hw().addCamera(0, camera1280x720());
        stub = std::make_unique<PageDialogStub>();
        window = startWindow(startSettings(1280, 720, saveDir->path()));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        list = widget<QListWidget>(*window, "listWidget");
    }
    void cleanup()
    {
        finish();
        stub.reset();
    }

    // The PDF of the selected pages holds them in the list's order, not in
    // the order they were picked, and nothing else; the collection's button
    // waits meanwhile.
    void pdfOfSelectedPagesInListOrder()
    {
        QAction *fromSelection = action("actionPdfFromSelection");
        QAction *fromAll = action("actionPdfFromAll");
        QVERIFY(!fromSelection->isEnabled() && !fromAll->isEnabled());
        QStringList pages;
        for (int i = 0; i < 4; ++i)
            pages << capturePage(i);
        QVERIFY(fromAll->isEnabled() && !fromSelection->isEnabled());
        QVERIFY(list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 4));
        pages.move(0, 3);
        click(2, Qt::NoModifier);
        click(0, Qt::ControlModifier);
        QVERIFY(fromSelection->isEnabled());

        PageDialogStub::output = saveDir->filePath("chosen.pdf");
        fromSelection->trigger();
        QVERIFY(QRegularExpression("^\\d{17}\\.pdf$")
                    .match(QFileInfo(PageDialogStub::offered).fileName())
                    .hasMatch());
        QCOMPARE(QFileInfo(PageDialogStub::offered).absolutePath(), saveDir->path());
        QVERIFY(!fromSelection->isEnabled() && !fromAll->isEnabled());
        QVERIFY(!widget<QPushButton>(*window, "butten_pdf")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(fromAll->isEnabled(), 60000);
        QVERIFY(widget<QPushButton>(*window, "butten_pdf")->isEnabled());
        const QString saved = window->statusBar()->currentMessage();
        QVERIFY2(pdfSavedMessageFits(saved, PageDialogStub::output, 2), qPrintable(saved));

        const auto images = zq::test::extractImages(PageDialogStub::output.toStdString(),
                                                    saveDir->filePath("x").toStdString());
        QCOMPARE(images.size(), size_t(2));
        QCOMPARE(zq::test::readFile(images[0]), zq::test::readFile(pages[0].toStdString()));
        QCOMPARE(zq::test::readFile(images[1]), zq::test::readFile(pages[2].toStdString()));
    }

    // Only a file the composer can read is listed, under its own path;
    // the others are named with the reason.  An added page goes into a PDF
    // like a captured one.
    void addedFilesAreCheckedFirst()
    {
        capturePage(0);
        const QString portrait = saveDir->filePath("elsewhere.jpg");
        zq::test::writeJpeg(portrait.toStdString(), zq::test::renderedPage(300, 600), 90);
        const QString text = saveDir->filePath("notes.jpg");
        zq::test::writeFile(text.toStdString(), "a note, not a picture");
        const QString broken = saveDir->filePath("broken.jpg");
        zq::test::writeFile(broken.toStdString(), "\xFF\xD8\xFF\xE0 and then nothing");
        QVERIFY(QDir(saveDir->path()).mkdir("folder.tif"));
        PageDialogStub::files =
            QStringList{text, portrait, saveDir->filePath("folder.tif"), broken};
        action("actionAddPages")->trigger();

        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), QString("elsewhere.jpg"));
        QCOMPARE(list->item(1)->data(Qt::UserRole).toByteArray(), QFile::encodeName(portrait));
        const QString message = window->statusBar()->currentMessage();
        for (const char *refusal :
             {"已添加 1 页", "notes.jpg 未添加：不是 JPEG 或 TIFF 图片",
              "folder.tif 未添加：不是普通文件", "broken.jpg 未添加：图片无法解码"})
            QVERIFY2(message.contains(QString::fromUtf8(refusal)), qPrintable(message));
        QTRY_VERIFY(!list->item(1)->icon().isNull());
        QCOMPARE(opaqueBounds(1).size(), QSize(50, 100));

        PageDialogStub::output = saveDir->filePath("all.pdf");
        action("actionPdfFromAll")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(action("actionPdfFromAll")->isEnabled(), 60000);
        const auto images = zq::test::extractImages(PageDialogStub::output.toStdString(),
                                                    saveDir->filePath("x").toStdString());
        QCOMPARE(images.size(), size_t(2));
        QCOMPARE(zq::test::readFile(images[1]), zq::test::readFile(portrait.toStdString()));
    }

    // Pages picked with Ctrl are turned and deleted together, and one
    // Ctrl+Z brings them all back to their places.
    void severalPagesTurnedDeletedAndRestored()
    {
        QStringList names;
        for (int i = 0; i < 5; ++i)
            names << QFileInfo(capturePage(i)).fileName();
        click(1, Qt::NoModifier);
        click(3, Qt::ControlModifier);
        action("actionTurnLeft")->trigger();
        for (int row = 0; row < 5; ++row) {
            const QSize size = QImageReader(saveDir->filePath(names[row])).size();
            QCOMPARE(size.width() < size.height(), row == 1 || row == 3);
        }

        list->setFocus();
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(itemNames(), (QStringList{names[0], names[2], names[4]}));
        QVERIFY(QFile::exists(testTrashDir() + "/files/" + names[3]));
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(itemNames(), names);
        QVERIFY(QFile::exists(saveDir->filePath(names[1])));
        QVERIFY(!action("actionUndoDelete")->isEnabled());
    }

    // A 16:9 page lies across its square, and each page shows its number,
    // which the next page takes over when the first goes.
    void thumbnailsInProportionWithNumbers()
    {
        for (int i = 0; i < 3; ++i)
            capturePage(i);
        QTRY_VERIFY(!list->item(2)->icon().isNull());
        QCOMPARE(opaqueBounds(0).size(), QSize(100, 56));
        const QImage first = numberCorner(0);
        const QImage second = numberCorner(1);
        QVERIFY(first != second);
        QCOMPARE(numberCorner(2), numberCorner(2)); // a rendering repeats itself
        click(0, Qt::NoModifier);
        action("actionDeletePage")->trigger();
        list->setCurrentIndex(QModelIndex());
        QCOMPARE(numberCorner(0), first);
        QCOMPARE(numberCorner(1), second);
    }

  private:
    QAction *action(const char *name) { return window->findChild<QAction *>(name); }

    // Captures a page of its own look and returns its file.
    QString capturePage(int variant)
    {
        PageScene scene = offCentrePage();
        scene.centerX += 0.05 * variant;
        camera->setScene(scene);
        QTest::qWait(2); // a time stamp of its own
        tick(*window);   // a capture wants a frame shown
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        tick(*window);
        return QFile::decodeName(list->item(list->count() - 1)->data(Qt::UserRole).toByteArray());
    }

    void click(int row, Qt::KeyboardModifiers modifiers)
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualItemRect(list->item(row)).center());
    }

    QStringList itemNames() const
    {
        QStringList names;
        for (int row = 0; row < list->count(); ++row)
            names << list->item(row)->text();
        return names;
    }

    // Where the thumbnail of a row is not transparent.
    QRect opaqueBounds(int row) const
    {
        const QImage icon = list->item(row)->icon().pixmap(list->iconSize()).toImage();
        QRect bounds;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (qAlpha(icon.pixel(x, y)) > 0)
                    bounds |= QRect(x, y, 1, 1);
        return bounds;
    }

    // The top of a page's square as the list shows it, where its number
    // lies above the letterboxed page.
    QImage numberCorner(int row) const
    {
        const QRect item = list->visualItemRect(list->item(row));
        return list->viewport()->grab(QRect(item.topLeft(), QSize(item.width(), 20))).toImage();
    }

    VirtualCamera *camera = nullptr;
    QListWidget *list = nullptr;
    std::unique_ptr<PageDialogStub> stub;
};

ZQ_GUI_TEST_MAIN(PagesTest)
#include "gui_pages_test.moc"
