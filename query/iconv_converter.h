// A converter of the C library's iconv, owned for the length of one conversion and closed with its scope.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace query {

class IconvConverter
{
public:
    IconvConverter(const char* fromCode, const char* toCode);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool isOpen() const;

    // Appends the conversion of in to out. Returns 0 when all of in is converted;
    // otherwise the error (EILSEQ, EINVAL, or EBADF when not open) with in starting at the failing unit.
    int convert(std::string_view& in, std::string& out);

private:
    iconv_t m_converter;
};

} // namespace query
