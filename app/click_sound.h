// The click of the "bug反馈" button.
#pragma once

#include <memory>
#include <string>

class ClickSound
{
public:
    virtual ~ClickSound() = default;
    virtual void play() = 0;
};

// The program's click on the system's sound device.
std::unique_ptr<ClickSound> makeClickSound();

// The same click on the named ALSA device (a "file:" device lets one hear it with the ears of a test).
std::unique_ptr<ClickSound> makeClickSound(const std::string& alsaDevice);
