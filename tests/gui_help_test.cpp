// The help menu, the About box and the command line's --help and --version.
#include "gui_harness.h"

#include <QAction>
#include <QMessageBox>
#include <QProcess>
#include <QTableWidget>

class HelpTest : public QObject
{
    Q_OBJECT

  private slots:
    void init() { startFromNothing(); }
    void cleanup()
    {
        window.reset();
        hw().reset();
    }

    void aboutNamesTheVersionAndLibraries()
    {
        window = std::make_unique<MainWindow>();
        window->findChild<QAction *>("actionAbout")->trigger();
        auto *box = window->findChild<QMessageBox *>("aboutBox");
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        for (const char *name :
             {ZQ_VERSION, "Qt", "OpenCV", "libjpeg-turbo", "libtiff", "qpdf", "Tesseract"})
            QVERIFY2(box->text().contains(QLatin1String(name)), name);
        box->close();
    }

    // Every action with a shortcut is listed with its keys.
    void keysListsTheActionsShortcuts()
    {
        window = std::make_unique<MainWindow>();
        window->findChild<QAction *>("actionKeys")->trigger();
        auto *table = window->findChild<QTableWidget *>();
        QVERIFY(table);
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, 0)->text() + " " + table->item(row, 1)->text();
        QVERIFY2(rows.contains(QString::fromUtf8("拍照 Space, Return, PgDown")),
                 qPrintable(rows.join('|')));
        QVERIFY2(rows.contains(QString::fromUtf8("撤销删除 Ctrl+Z")), qPrintable(rows.join('|')));
    }

    // Answered on standard output without a window: no display is needed.
    void helpAndVersionPrintAndExit_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("answer");
        QTest::newRow("--version") << "--version"
                                   << "zqvideo " ZQ_VERSION "\n";
        QTest::newRow("-v") << "-v"
                            << "zqvideo " ZQ_VERSION "\n";
        QTest::newRow("--help") << "--help"
                                << "--version";
        QTest::newRow("-h") << "-h"
                            << "--help";
    }
    void helpAndVersionPrintAndExit()
    {
        QFETCH(QString, option);
        QFETCH(QString, answer);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "no-such-platform");
        program.setProcessEnvironment(environment);
        program.start(ZQVIDEO_PATH, {option});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        if (answer.endsWith('\n'))
            QCOMPARE(out, answer);
        else
            QVERIFY2(out.contains(answer), qPrintable(out));
    }

  private:
    std::unique_ptr<MainWindow> window;
};

ZQ_GUI_TEST_MAIN(HelpTest)
#include "gui_help_test.moc"
