// The two bench queries and the data file that gives them exactly 10 and 50 result pages.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

struct BenchQuery
{
    const char* province; // UTF-8, as typed into the edit boxes
    const char* city;
    const char* county;
    int32_t pages; // 20 places a page
};

// Neither province is a prefix of the other, so each query picks only its own places.
constexpr BenchQuery kTenPages{"十页省", "十页市", "十页区", 10};
constexpr BenchQuery kFiftyPages{"五十页省", "五十页市", "五十页区", 50};
constexpr int32_t kPlacesPerPage = 20;

// The stand-in's data format: province, city, county, place, six-digit postcode, tab-separated.
inline bool writeBenchData(const std::string& path)
{
    std::ofstream out(path, std::ios::trunc);
    out << "# Bench data: a query with 10 result pages and one with 50.\n";
    int postcode = 100000;
    for (const BenchQuery& query : {kTenPages, kFiftyPages}) {
        for (int32_t i = 1; i <= query.pages * kPlacesPerPage; ++i)
            out << query.province << '\t' << query.city << '\t' << query.county << '\t' << "第" << i
                << "街道\t" << postcode++ << '\n';
    }
    return bool(out);
}

// The requests of a discovery that ends on page pages + 1 repeating page pages, then the listing of page 1:
// 1; 2, 1; 3, 2; ...; pages + 1, pages; 1.
inline std::vector<int32_t> discoveryPageOrder(int32_t pages)
{
    std::vector<int32_t> order{1};
    for (int32_t n = 2; n <= pages + 1; ++n) {
        order.push_back(n);
        order.push_back(n - 1);
    }
    order.push_back(1);
    return order;
}

} // namespace bench
