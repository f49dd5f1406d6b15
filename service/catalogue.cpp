// Reading and matching the stand-in's places.
#include "catalogue.h"

#include <fstream>

namespace service {
namespace {

constexpr std::size_t kFieldCount = 5;
constexpr std::size_t kPostcodeLength = 6;
const char* const kFieldNames[kFieldCount] = {"province", "city", "county", "place", "postcode"};

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

bool hasControlCharacter(std::string_view text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

bool isPostcode(std::string_view text)
{
    if (text.size() != kPostcodeLength)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Empty when the line is sound.
std::string checkFields(const std::vector<std::string>& fields)
{
    if (fields.size() != kFieldCount)
        return "expected " + std::to_string(kFieldCount) + " tab-separated fields, found " +
               std::to_string(fields.size());
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const std::string name = kFieldNames[i];
        if (isBlank(fields[i]))
            return "empty " + name;
        if (!isValidUtf8(fields[i]))
            return name + " is not valid UTF-8";
        if (hasControlCharacter(fields[i]))
            return name + " holds a control character";
    }
    if (!isPostcode(fields[4]))
        return "postcode \"" + fields[4] + "\" is not six digits";
    return std::string();
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        unsigned int codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

std::vector<LineError> Catalogue::read(std::istream& in)
{
    m_places.clear();
    std::vector<LineError> errors;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (isBlank(line) || line[0] == '#')
            continue;
        const std::vector<std::string> fields = splitFields(line);
        const std::string reason = checkFields(fields);
        if (!reason.empty()) {
            errors.push_back({number, reason});
            continue;
        }
        m_places.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    if (in.bad())
        errors.push_back({0, "read error"});
    if (!errors.empty())
        m_places.clear();
    return errors;
}

std::vector<LineError> Catalogue::readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        m_places.clear();
        return {{0, "cannot open the file"}};
    }
    return read(file);
}

std::vector<const Place*> Catalogue::match(const PlaceQuery& query) const
{
    std::vector<const Place*> matches;
    for (const Place& place : m_places) {
        // Both sides are whole UTF-8 texts, so a byte prefix is a character prefix.
        if (startsWith(place.province, query.province) && startsWith(place.city, query.city) &&
            startsWith(place.county, query.county))
            matches.push_back(&place);
    }
    return matches;
}

} // namespace service
