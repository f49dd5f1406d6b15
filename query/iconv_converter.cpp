// The iconv wrapper: one bulk call per run of convertible input, the output appended chunk by chunk.
#include "iconv_converter.h"

#include <cerrno>

namespace query {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

} // namespace

IconvConverter::IconvConverter(const char* fromCode, const char* toCode)
    : m_fromCode(fromCode), m_toCode(toCode), m_converter(iconv_open(toCode, fromCode))
{
}

IconvConverter::~IconvConverter()
{
    if (isOpen())
        iconv_close(m_converter);
}

bool IconvConverter::isOpen() const
{
    return m_converter != kNoConverter;
}

void IconvConverter::reset()
{
    if (isOpen())
        iconv(m_converter, nullptr, nullptr, nullptr, nullptr);
    else
        m_converter = iconv_open(m_toCode, m_fromCode);
}

int IconvConverter::convert(std::string_view& in, std::string& out)
{
    if (!isOpen())
        return EBADF;
    // Through a chunk of fixed size: a text with many faults is converted in many short calls, and
    // preparing room for all of the remaining input at each of them would cost quadratic time.
    char chunk[16384];
    // iconv's interface is not const-correct; it only reads the input.
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    int error = 0;
    do {
        char* outPtr = chunk;
        size_t outLeft = sizeof chunk;
        const size_t result = iconv(m_converter, &inPtr, &inLeft, &outPtr, &outLeft);
        error = result == static_cast<size_t>(-1) ? errno : 0;
        out.append(chunk, static_cast<size_t>(outPtr - chunk));
    } while (error == E2BIG);
    in.remove_prefix(in.size() - inLeft);
    return error;
}

} // namespace query
