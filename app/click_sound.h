// The click of the "bug反馈" button.
#pragma once

#include <memory>

class ClickSound
{
public:
    virtual ~ClickSound() = default;
    virtual void play() = 0;
};

// The program's click on the system's sound device.
std::unique_ptr<ClickSound> makeClickSound();
