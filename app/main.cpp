#include "commandline.h"
#include "mainwindow.h"
#include "translation.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
