#pragma once

#include <QPointF>

// How a character stands in one frame. Every artist reads the same values,
// so one script of poses animates all four characters.
struct Pose {
    double armUp = 0;    // the waving arm raised: 0 hanging .. 1 high
    double wave = 0;     // the raised hand's swing, -1 .. 1
    double chin = 0;     // the other hand brought to the chin: 0 .. 1
    double mouth = 0;    // 0 closed (smiling) .. 1 wide open
    double blink = 0;    // 0 eyes open .. 1 shut
    QPointF look;        // where the eyes look, -1 .. 1 each way
    double tilt = 0;     // head tilt, degrees (positive: to the viewer's right)
    double bob = 0;      // the whole figure raised, pixels
    double brows = 0;    // eyebrows raised 0 .. 1
    double thought = 0;  // thought bubbles 0 .. 1
    double appear = 1;   // coming or going: 0 gone .. 1 whole
    double phase = 0;    // 0 .. 1, for details that move on their own (smoke, lights, sparkles)
};
