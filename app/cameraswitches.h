// The buttons that switch between the cameras, enabled only for cameras
// that are plugged in.
#ifndef ZQVIDEO_CAMERASWITCHES_H
#define ZQVIDEO_CAMERASWITCHES_H

#include <QList>
#include <QObject>

class QPushButton;

class CameraSwitches : public QObject
{
    Q_OBJECT

  public:
    // buttons[i] opens the camera of index i + 1.
    CameraSwitches(const QList<QPushButton *> &buttons, QObject *parent);

    // Looks again which cameras are plugged in.
    void refresh();

  private:
    QList<QPushButton *> buttons_;
};

#endif
