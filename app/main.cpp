#include "commandline.h"
#include "mainwindow.h"
#include "translation.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // Past a file-size limit a write fails with EFBIG, which the writers
    // report ("File too large"), rather than the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    answerTextRequests(argc, argv);
    QApplication app(argc, argv);
    installTranslations(app, QLocale(), translationsFolder());
    int code = 0;
    {
        MainWindow window;
        window.show();
        code = app.exec();
    } // the window goes before the application
    return code;
}
