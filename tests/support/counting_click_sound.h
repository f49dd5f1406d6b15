// A click sound that only counts how often it was played.
#pragma once

#include <memory>

#include "click_sound.h"

class CountingClickSound : public ClickSound
{
public:
    explicit CountingClickSound(std::shared_ptr<int> plays = std::make_shared<int>(0))
        : m_plays(std::move(plays))
    {
    }
    void play() override { ++*m_plays; }
    int plays() const { return *m_plays; }

private:
    std::shared_ptr<int> m_plays;
};
