// The camera's three picture controls as sliders, each with its "默认"
// box: a slider's position, 0 to 128, is the control's value in steps of
// 512; a checked box holds its slider in the middle; a camera just opened
// places them from its own values.
#ifndef ZQVIDEO_CAMERASLIDERS_H
#define ZQVIDEO_CAMERASLIDERS_H

#include <array>

class QCheckBox;
class QSlider;

class CameraSliders
{
  public:
    enum Control { Brightness, Contrast, Saturation };
    struct Pair {
        QSlider *slider;
        QCheckBox *standard; // holds the slider at the camera's default
    };

    explicit CameraSliders(const std::array<Pair, 3> &pairs) : pairs_(pairs) {}

    // Sends a slider's position to the camera; nothing without one.
    void send(int camera, Control control, int position) const;
    void followBox(Control control) const;
    void placeFrom(int camera) const;

  private:
    std::array<Pair, 3> pairs_;
};

#endif
