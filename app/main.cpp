#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int code = 0;
    {
        MainWindow window;
        window.show();
        code = app.exec();
    } // the window goes before the application
    return code;
}
