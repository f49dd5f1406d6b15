// A flag that lets one thread ask the work of another to end at its next step.
#pragma once

#include <atomic>

namespace query {

class StopSignal
{
public:
    void request() noexcept { m_requested.store(true, std::memory_order_release); }
    bool requested() const noexcept { return m_requested.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_requested{false};
};

} // namespace query
