// The window's help menu: its keys and what the program is made of.
#ifndef ZQVIDEO_HELPMENU_H
#define ZQVIDEO_HELPMENU_H

#include <QObject>
#include <QString>

class QMainWindow;

// The version and the libraries of zqvideo, as the About box shows them.
QString aboutText();

// Adds "帮助" to the window's menu bar, with the actions actionKeys and
// actionAbout; each opens its box without blocking the window.
class HelpMenu : public QObject
{
    Q_OBJECT

  public:
    explicit HelpMenu(QMainWindow *window);

  private:
    void showKeys();
    void showAbout();

    QMainWindow *window_;
};

#endif
