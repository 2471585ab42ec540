// A picture to look at closely: shown whole at first, zoomed by the wheel
// and the keys up to eight times its pixels, dragged or scrolled about.
// It keeps its zoom when the picture is replaced by one of the same size,
// so that a live picture can be watched at 100 %.
#ifndef ZQVIDEO_ZOOMVIEW_H
#define ZQVIDEO_ZOOMVIEW_H

#include <QGraphicsView>

class QGraphicsPixmapItem;

class ZoomView : public QGraphicsView
{
    Q_OBJECT

  public:
    explicit ZoomView(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    // Screen pixels per picture pixel.
    qreal zoom() const { return transform().m11(); }
    bool fitsWindow() const { return fitting_; }

  signals:
    void zoomed();

  public slots:
    void fitToWindow();
    void showActualSize();
    void zoomIn();
    void zoomOut();

  protected:
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void zoomTo(qreal zoom);

    QGraphicsPixmapItem *picture_;
    bool fitting_ = true; // follows the window's size until zoomed by hand
};

#endif
