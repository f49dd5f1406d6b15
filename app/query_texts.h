// The texts of the three query boxes as GBK, kept up to date by the GUI thread, so that a worker can read
// them without waiting for the GUI thread to be free.
#pragma once

#include <array>
#include <mutex>

#include "text.h"

class QueryTexts
{
public:
    enum class Field { Province, City, County };

    void set(Field field, query::Text text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts[index(field)] = std::move(text);
    }

    query::Text get(Field field) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts[index(field)];
    }

private:
    static std::size_t index(Field field) { return static_cast<std::size_t>(field); }

    mutable std::mutex m_mutex;
    std::array<query::Text, 3> m_texts;
};
