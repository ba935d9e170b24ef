#pragma once

namespace sys {

// The running display's rotation in degrees (0, 90, 180 or 270).
//
// The device's window system rotated the frame buffer in-process and the
// program asked it for the current rotation. Here the rotation is kept in
// the platform layer: it is read once, at first use, from the ":Rot<N>"
// part of QWS_DISPLAY (the variable the device's start scripts still set),
// and is 0 when there is none.
class DisplayRotation
{
public:
    static int degrees();
    // Replaces the running rotation; anything that is not a quarter turn
    // falls back to 0.
    static void setDegrees(int degrees);

    // The rotation named by a QWS_DISPLAY value, 0 without a valid one.
    static int parse(const char* qwsDisplay);

private:
    DisplayRotation() = delete;
};

} // namespace sys
