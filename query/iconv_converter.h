// A converter of the C library's iconv, closed with its scope; reset, it serves any number of conversions.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace query {

class IconvConverter
{
public:
    // The codes are kept for reopening and must outlive the converter (string literals do).
    IconvConverter(const char* fromCode, const char* toCode);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool isOpen() const;

    // Back to the state right after opening, for the next text; one that did not open is tried again.
    void reset();

    // Appends the conversion of in to out. Returns 0 when all of in is converted;
    // otherwise the error (EILSEQ, EINVAL, or EBADF when not open) with in starting at the failing unit.
    int convert(std::string_view& in, std::string& out);

private:
    const char* m_fromCode;
    const char* m_toCode;
    iconv_t m_converter;
};

} // namespace query
