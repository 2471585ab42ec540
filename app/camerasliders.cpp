#include "camerasliders.h"

#include <zqscan/zq_scanner.h>

#include <QCheckBox>
#include <QSlider>

namespace
{

// The camera's functions for each control, in the order of Control.
struct CameraControl {
    int (*get)(int fd);
    int (*set)(int fd, int value);
};
const CameraControl kCameraControls[] = {
    {zq_scanner_get_brightness, zq_scanner_set_brightness},
    {zq_scanner_get_contrast, zq_scanner_set_contrast},
    {zq_scanner_get_saturation, zq_scanner_set_saturation},
};

constexpr int kControlPerStep = 512; // positions 0..128 on the control's 0..65535
constexpr int kMiddle = 64;
// Values this low (and the -1 of a failed read) put the slider in the
// middle.
constexpr int kLowestPlacedControl = 0x1600;

} // namespace

void CameraSliders::send(int camera, Control control, int position) const
{
    if (camera >= 0)
        kCameraControls[control].set(camera, position * kControlPerStep);
}

void CameraSliders::followBox(Control control) const
{
    const Pair &pair = pairs_[control];
    if (pair.standard->isChecked()) {
        pair.slider->setValue(kMiddle);
        pair.slider->setEnabled(false);
    } else {
        pair.slider->setEnabled(true);
    }
}

void CameraSliders::placeFrom(int camera) const
{
    for (int control : {Brightness, Contrast, Saturation}) {
        const int value = kCameraControls[control].get(camera);
        pairs_[control].slider->setValue(value < kLowestPlacedControl ? kMiddle
                                                                      : value / kControlPerStep);
    }
}
