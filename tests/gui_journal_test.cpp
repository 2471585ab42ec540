// The page list outlives the window: each save directory's journal in the
// state folder gives the next window its pages and PDF collection, also
// after the program was killed; pages whose files went away are reported
// and never composed; quitting with collected pages asks what to do.
#include "gui_frame_harness.h"

#include "pagejournal.h"
#include "pdf_tools.h"
#include "quitquestion.h"

#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <csignal>

using namespace zq::sim;

class PageJournalTest : public WindowTest
{
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        setlocale(LC_PAPER, "C");
        // A closed window must not end the event loops of the tests after it.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init()
    {
        startFresh();
        camera = &hw().addCamera(0, camera1280x720());
        askedFor = 0;
        askAboutCollection = [](QWidget *, int pages) {
            askedFor = pages;
            return answer;
        };
        restart();
    }
    void cleanup()
    {
        askAboutCollection = realQuestion;
        finish();
    }

    // Keep: the next window lists the pages in their order with their
    // thumbnails and goes on collecting; the page folder got no file.
    void keptCollectionIsRestored()
    {
        const QStringList pages = collectPages();
        answer = QuitAnswer::Keep;
        QVERIFY(window->close());
        QCOMPARE(askedFor, 3);
        window.reset();
        const QString journal = PageJournal::fileFor(QFile::encodeName(saveDir->path()));
        const QByteArray kept = bytes(journal);
        restart();
        QCOMPARE(bytes(journal), kept); // the window's first write says the same
        QCOMPARE(listed(), pages);
        QCOMPARE(pdfButton()->text(), QString::fromUtf8("停止合成PDF"));
        QCOMPARE(collected(), pages.mid(1));
        const QList<QListWidgetItem *> restored = items();
        QTRY_VERIFY(std::all_of(restored.begin(), restored.end(),
                                [](QListWidgetItem *item) { return !item->icon().isNull(); }));
        QCOMPARE(QDir(saveDir->path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }

    // Discard ends the collection alone: pages and files stay.
    void discardKeepsThePages()
    {
        const QStringList pages = collectPages();
        answer = QuitAnswer::Discard;
        QVERIFY(window->close());
        restart();
        QCOMPARE(listed(), pages);
        QCOMPARE(pdfButton()->text(), QString::fromUtf8("开始合成PDF"));
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
    }

    // Compose: the window stays until the PDF of the pages is written.
    void composeWritesThePdfThenCloses()
    {
        const QStringList pages = collectPages();
        window->show();
        answer = QuitAnswer::Compose;
        QVERIFY(!window->close());
        QVERIFY(pdfComposed(*window));
        QTRY_VERIFY(!window->isVisible());
        const QStringList pdfs = QDir(saveDir->path()).entryList({"*.pdf"});
        QCOMPARE(pdfs.size(), 1);
        const auto images = zq::test::extractImages(saveDir->filePath(pdfs[0]).toStdString(),
                                                    saveDir->filePath("x").toStdString());
        QCOMPARE(images.size(), size_t(3));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(bytes(QString::fromStdString(images[i])), bytes(pages[i + 1]));
        restart();
        QCOMPARE(listed(), pages);
        QVERIFY(MainWindowProbe(*window).pdfImageList().empty());
    }

    // Escape, or Return, on the real question keeps the collection.
    void theQuestionDefaultsToKeep()
    {
        askAboutCollection = realQuestion;
        collectPages();
        QString defaultButton;
        QTimer::singleShot(0, [&defaultButton] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            defaultButton = box->defaultButton()->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QVERIFY(window->close());
        QCOMPARE(defaultButton, QString::fromUtf8("留到下次"));
        restart();
        QCOMPARE(collected().size(), 3);
    }

    // A window killed in the middle of a collection loses nothing of it.
    void killedWindowIsRestored()
    {
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        const pid_t child = fork();
        if (child == 0) {
            collectPages();
            QTest::qWait(20); // the journal is written from the event loop
            const char done = 1;
            if (write(ready[1], &done, 1) == 1)
                pause();
            _exit(1);
        }
        char done = 0;
        QCOMPARE(read(ready[0], &done, 1), ssize_t(1));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(ready[0]);
        close(ready[1]);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QVERIFY(listed().isEmpty());

        restart();
        const QStringList files = filesIn(saveDir->path());
        QCOMPARE(files.size(), 4);
        const QStringList order{files[0], files[3], files[1], files[2]};
        QStringList expected;
        for (const QString &file : order)
            expected << saveDir->filePath(file);
        QCOMPARE(listed(), expected);
        QCOMPARE(collected(), expected.mid(1));
        QCOMPARE(pdfButton()->text(), QString::fromUtf8("停止合成PDF"));
    }

    // Files gone since the last run leave the list with a report; one gone
    // (here: a folder in its place) before the stop press leaves the PDF,
    // and one deleted while the window was in the background leaves the list.
    void missingPagesAreDroppedAndNotComposed()
    {
        const QStringList pages = collectPages();
        window.reset();
        QVERIFY(QFile::remove(pages[2]));
        restart();
        QCOMPARE(listed(), (QStringList{pages[0], pages[1], pages[3]}));
        QCOMPARE(window->statusBar()->currentMessage(),
                 QString::fromUtf8("1 页的文件已不在磁盘上，已从列表中移除：%1")
                     .arg(QFileInfo(pages[2]).fileName()));
        QVERIFY(QFile::remove(pages[3]) && QDir().mkdir(pages[3]));
        QTest::mouseClick(pdfButton(), Qt::LeftButton);
        QVERIFY(pdfComposed(*window));
        QCOMPARE(listed(), pages.mid(0, 2));
        const QStringList pdfs = QDir(saveDir->path()).entryList({"*.pdf"});
        QCOMPARE(pdfs.size(), 1);
        const QStringList report =
            window->statusBar()->currentMessage().split(QString::fromUtf8("；"));
        QCOMPARE(report.size(), 2);
        QVERIFY2(pdfSavedMessageFits(report[0], saveDir->filePath(pdfs[0]), 1),
                 qPrintable(report[0]));
        QCOMPARE(report[1], QString::fromUtf8("1 页的文件已不在磁盘上，已从列表中移除：%1")
                                .arg(QFileInfo(pages[3]).fileName()));
        QCOMPARE(zq::test::pdfPageSizes(saveDir->filePath(pdfs[0]).toStdString()).size(),
                 size_t(1));

        // Deleted while the program runs: off the list as the window comes back.
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QVERIFY(QFile::remove(pages[0]));
        QEvent activation(QEvent::ActivationChange);
        QApplication::sendEvent(window.get(), &activation);
        QCOMPARE(listed(), pages.mid(1, 1));
        QVERIFY(window->statusBar()->currentMessage().contains(QFileInfo(pages[0]).fileName()));
    }

    // Each save directory has its list; switching back brings it back.
    void eachDirectoryHasItsOwnList()
    {
        const QString first = saveDir->filePath(capture());
        QTemporaryDir other;
        DialogStub::answer = other.path();
        widget<QPushButton>(*window, "pushButton_6")->click();
        QVERIFY(listed().isEmpty());
        const QString second = other.filePath(capture());
        DialogStub::answer = saveDir->path();
        widget<QPushButton>(*window, "pushButton_6")->click();
        QCOMPARE(listed(), QStringList{first});
        DialogStub::answer = other.path();
        widget<QPushButton>(*window, "pushButton_6")->click();
        QCOMPARE(listed(), QStringList{second});
    }

    // A journal that cannot be written says so, once, in the status bar.
    void unwritableJournalIsReported()
    {
        QVERIFY(QDir(testJournalDir()).removeRecursively());
        QFile blocker(testJournalDir()); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        capture();
        QTRY_VERIFY(window->statusBar()->currentMessage().startsWith(
            QString::fromUtf8("页面列表无法保存到 %1/pages-").arg(testJournalDir())));
        capture();
        QTest::qWait(20);
        QVERIFY(window->statusBar()->currentMessage().startsWith(QString::fromUtf8("已保存")));
    }

  private:
    // Shared with the question's hook, which captures nothing.
    static inline QuitAnswer answer = QuitAnswer::Keep;
    static inline int askedFor = 0;

    void restart()
    {
        window.reset();
        window = startWindow(startSettings(1280, 720, saveDir->path()));
    }

    QPushButton *pdfButton() { return widget<QPushButton>(*window, "butten_pdf"); }
    QListWidget *list() { return widget<QListWidget>(*window, "listWidget"); }

    QList<QListWidgetItem *> items()
    {
        QList<QListWidgetItem *> all;
        for (int row = 0; row < list()->count(); ++row)
            all << list()->item(row);
        return all;
    }

    // The pages' paths in list order.
    QStringList listed()
    {
        QStringList paths;
        for (QListWidgetItem *item : items())
            paths << QFile::decodeName(item->data(Qt::UserRole).toByteArray());
        return paths;
    }

    QStringList collected()
    {
        QStringList paths;
        for (const std::string &page : MainWindowProbe(*window).pdfImageList())
            paths << QString::fromStdString(page);
        return paths;
    }

    // Captures a page with the button and returns its name.
    QString capture()
    {
        QTest::qWait(2); // a time stamp of its own
        tick(*window);   // a capture wants a frame shown
        QTest::mousePress(widget<QPushButton>(*window, "pushButton_3"), Qt::LeftButton);
        tick(*window);
        return list()->item(list()->count() - 1)->text();
    }

    // One page, then three collected ones of which the last is moved before
    // the other two; the paths in list order.
    QStringList collectPages()
    {
        capture();
        QTest::mouseClick(pdfButton(), Qt::LeftButton);
        for (int i = 0; i < 3; ++i) {
            PageScene scene = offCentrePage();
            scene.centerX += 0.1 * i;
            camera->setScene(scene);
            capture();
        }
        list()->model()->moveRow(QModelIndex(), 3, QModelIndex(), 1);
        return listed();
    }

    static QByteArray bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QuitAnswer (*const realQuestion)(QWidget *, int) = askAboutCollection;
    VirtualCamera *camera = nullptr;
};

ZQ_GUI_TEST_MAIN(PageJournalTest)
#include "gui_journal_test.moc"
