// The preview label.  Besides showing the picture it records one mouse
// drag, in label coordinates, which becomes the manual crop rectangle.
#ifndef ZQVIDEO_CAMLABEL_H
#define ZQVIDEO_CAMLABEL_H

#include <QLabel>

struct LabelPoint {
    int x = 0;
    int y = 0;
};

class CamLabel : public QLabel
{
  public:
    // Drag states.
    enum { Idle = 0, Armed = 1, Dragging = 2, Done = 3 };

    explicit CamLabel(QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());
    explicit CamLabel(const QString &text, QWidget *parent = nullptr,
                      Qt::WindowFlags f = Qt::WindowFlags());
    ~CamLabel() override;

    int cropState = Idle;
    LabelPoint startPoint;
    LabelPoint endPoint;

    // The size a frame of frameSize is shown at: as large as the label
    // holds, in the frame's proportions.
    QSize pictureSize(const QSize &frameSize) const;
    // Where that picture lies in the label, which places it by its
    // alignment inside the frame line and leaves empty bands beside it.
    QRect pictureRect(const QSize &frameSize) const;

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};

#endif
