// The stand-in's places: read once from a tab-separated file, then picked by name prefixes.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace service {

struct Place
{
    std::string province;
    std::string city;
    std::string county;
    std::string place;    // street, town, village or road
    std::string postcode; // six digits
};

struct LineError
{
    int line = 0; // 1-based; 0 when the file itself could not be read
    std::string reason;
};

// A value picks a place when it is empty or a prefix of the place's name at its level.
struct PlaceQuery
{
    std::string province;
    std::string city;
    std::string county;
};

bool isValidUtf8(std::string_view text);

class Catalogue
{
public:
    // One line per place: province, city, county, place, postcode. Lines starting with '#' and blank
    // lines are skipped. Every malformed line is reported; the catalogue keeps no places then.
    std::vector<LineError> read(std::istream& in);
    std::vector<LineError> readFile(const std::string& path);

    const std::vector<Place>& places() const { return m_places; }

    // In the order of the file.
    std::vector<const Place*> match(const PlaceQuery& query) const;

private:
    std::vector<Place> m_places;
};

} // namespace service
