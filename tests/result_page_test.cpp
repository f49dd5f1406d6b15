// fetchResultPage against a real HTTP server: the request it sends, the block it cuts out of the answer,
// and the rows it puts into the list, call by call.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fixture_server.h"
#include "gbk.h"
#include "postcode_service.h"
#include "recording_view.h"
#include "result_page.h"

namespace {

using query::Text;
using Cells = std::array<std::string, 5>;

const std::string kFailed = "失败";
const std::string kPager = "\r\n<div id=\"page\">";

// What the three edit boxes hold in most tests; none of it occurs in the pages served.
const std::string kProvince = "北京";
const std::string kCity = "市辖区";
const std::string kCounty = "东城";

FixtureServer::Handler serving(const std::string& body, int status = 200)
{
    return [body, status](const FixtureRequest&) {
        FixtureResponse response;
        response.status = status;
        response.body = body;
        return response;
    };
}

FixtureResponse redirectTo(const std::string& location)
{
    FixtureResponse response;
    response.status = 302;
    response.body = "<html><body>moved</body></html>";
    response.headers.emplace_back("Location", location);
    return response;
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string postcodeOf(int i)
{
    return std::to_string(100000 + i);
}

std::string placeOf(int i)
{
    return "胡同" + std::to_string(i);
}

std::vector<std::string> numberedRows(int count)
{
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(resultRow(postcodeOf(i), "北京市", "东城区", placeOf(i)));
    return rows;
}

Cells listedRow(const std::string& place, const std::string& postcode)
{
    return {kProvince, kCity, kCounty, place, postcode};
}

int countStartingWith(const std::vector<std::string>& log, const std::string& prefix)
{
    int n = 0;
    for (const std::string& entry : log)
        n += entry.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

// A port on 127.0.0.1 that nothing listens on: bound once to find it free, then let go.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

class ResultPageTest : public ::testing::Test
{
protected:
    void serve(FixtureServer::Handler handler)
    {
        m_server = std::make_unique<FixtureServer>(std::move(handler));
        m_service = std::make_unique<query::PostcodeService>(m_server->baseUrl());
    }
    void servePage(const std::string& body, int status = 200) { serve(serving(body, status)); }

    void fetch(int32_t pageNumber = 1, bool probeOnly = false)
    {
        query::fetchResultPage(m_view, *m_service, pageNumber, m_block, probeOnly);
    }

    std::string blockUtf8() const { return query::utf8FromGbk(m_block); }
    std::string pageUrl() const { return m_service->pageUrl(1, m_view.province, m_view.city, m_view.county); }

    FixtureRequest onlyRequest() const
    {
        const std::vector<FixtureRequest> requests = m_server->requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? FixtureRequest() : requests.front();
    }

    // Every fetch ends with an empty list, "失败" shown once and no block handed back.
    void expectFailedFetch()
    {
        EXPECT_EQ(m_view.utf8Messages(), std::vector<std::string>{kFailed});
        EXPECT_TRUE(m_view.rows.empty());
        EXPECT_TRUE(m_block.empty());
    }

    RecordingView m_view{kProvince, kCity, kCounty};
    RequestGate m_gate; // outlives the server, whose handlers may wait on it
    std::unique_ptr<FixtureServer> m_server;
    std::unique_ptr<query::PostcodeService> m_service;
    Text m_block = "stale";
};

TEST_F(ResultPageTest, TwoRowPageListsBothRowsWithTheEditBoxesInTheFirstThreeColumns)
{
    const std::string row1 = "<a>100000</a></span><p><a>北京市</a> <a>东城区</a> 东华门街道</p>";
    const std::string row2 = "<a>100001</a></span><p><a>北京市</a> <a>东城区</a> 景山街道</p>";
    servePage(resultPage({row1, row2}));

    fetch();

    EXPECT_EQ(m_view.utf8Rows(),
              (std::vector<Cells>{listedRow("东华门街道", "100000"), listedRow("景山街道", "100001")}));
    EXPECT_EQ(blockUtf8(), row1 + "</li><li><span>" + row2 + "</li></ul>");
    EXPECT_TRUE(m_view.messages.empty());
}

TEST_F(ResultPageTest, FillCallsTheViewInTheOrderOfTheRowLoop)
{
    servePage(resultPage(numberedRows(2)));

    fetch();

    std::vector<std::string> expected = {"clear", "province", "city", "county"};
    for (int pass = 1; pass <= 20; ++pass) {
        const bool kept = pass <= 2;
        const std::string row = std::to_string(kept ? pass - 1 : 2);
        const std::vector<std::string> calls =
            kept ? std::vector<std::string>{"province",
                                            "insert " + std::to_string(pass),
                                            "set " + row + " 4",
                                            "set " + row + " 3",
                                            "city",
                                            "set " + row + " 1",
                                            "county",
                                            "set " + row + " 2"}
                 : std::vector<std::string>{"province", "insert " + std::to_string(pass), "set " + row + " 4",
                                            "set " + row + " 3", "delete " + row};
        expected.insert(expected.end(), calls.begin(), calls.end());
    }
    EXPECT_EQ(m_view.log, expected);
}

TEST_F(ResultPageTest, EditBoxesAreReadAnewForEveryKeptRow)
{
    servePage(resultPage(numberedRows(2)));
    m_view.onCall = [this](const std::string& entry) {
        if (entry == "set 0 2") {
            m_view.province = query::gbkFromUtf8("天津");
            m_view.city = query::gbkFromUtf8("天津市");
            m_view.county = query::gbkFromUtf8("和平区");
        }
    };

    fetch();

    ASSERT_EQ(m_view.utf8Rows().size(), 2u);
    EXPECT_EQ(m_view.utf8Rows()[1], (Cells{"天津", "天津市", "和平区", placeOf(1), postcodeOf(1)}));
}

class RowCountTest : public ResultPageTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(RowCountTest, ListsAtMostTwentyRowsInPageOrderWithoutBlankRows)
{
    const int dataRows = GetParam();
    servePage(resultPage(numberedRows(dataRows)));

    fetch();

    std::vector<Cells> expected;
    for (int i = 0; i < std::min(dataRows, 20); ++i)
        expected.push_back(listedRow(placeOf(i), postcodeOf(i)));
    EXPECT_EQ(m_view.utf8Rows(), expected);
    EXPECT_EQ(countStartingWith(m_view.log, "insert "), 20);
    EXPECT_EQ(countStartingWith(m_view.log, "delete "), 20 - static_cast<int>(expected.size()));
    EXPECT_TRUE(m_view.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(RowCounts, RowCountTest, ::testing::Values(0, 1, 2, 19, 20, 21, 25));

struct RowCellCase
{
    const char* name;
    std::vector<std::string> rows;
    std::vector<Cells> listed;
};

class RowCellTest : public ResultPageTest, public ::testing::WithParamInterface<RowCellCase>
{
};

TEST_P(RowCellTest, CellsAreCutWhereTheMarkersAreFound)
{
    servePage(resultPage(GetParam().rows));

    fetch();

    EXPECT_EQ(m_view.utf8Rows(), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    RowCells, RowCellTest,
    ::testing::Values(
        RowCellCase{"CellWithoutLinkTakesTheNextRowsPlace",
                    {"<a href=\"/postcode/100000\">100000</a></span><p>东华门街道</p>",
                     resultRow("100001", "北京市", "东城区", "景山街道")},
                    {listedRow("景山街道", "100000"), listedRow("景山街道", "100001")}},
        RowCellCase{
            "CellWithOneLinkShowsTheTextAfterIt",
            {"<a href=\"/postcode/100000\">100000</a></span><p><a href=\"/c\">东城区</a> 东华门街道</p>",
             resultRow("100001", "北京市", "东城区", "景山街道")},
            {listedRow("东华门街道", "100000"), listedRow("景山街道", "100001")}},
        RowCellCase{
            "CellWithThreeLinksShowsTheTextAfterTheLast",
            {"<a href=\"/postcode/100000\">100000</a></span><p><a>北京市</a> <a>东城区</a> <a>东华门</a> "
             "东华门街道</p>"},
            {listedRow("东华门街道", "100000")}},
        RowCellCase{"EmptyPlaceDropsTheRow",
                    {resultRow("100000", "北京市", "东城区", ""),
                     resultRow("100001", "北京市", "东城区", "景山街道")},
                    {listedRow("景山街道", "100001")}},
        RowCellCase{"EmptyPostcodeDropsTheRow",
                    {resultRow("", "北京市", "东城区", "东华门街道"),
                     resultRow("100001", "北京市", "东城区", "景山街道")},
                    {listedRow("景山街道", "100001")}},
        RowCellCase{"AngleBracketInPostcodeIsKeptOnlyInTheFirstRow",
                    {"<a href=\"/postcode/12\">1>2</a></span><p><a>北京市</a> <a>东城区</a> 东华门街道</p>",
                     "<a href=\"/postcode/34\">3>4</a></span><p><a>北京市</a> <a>东城区</a> 景山街道</p>"},
                    {listedRow("东华门街道", "1>2"), listedRow("景山街道", "4")}},
        RowCellCase{"TextsAreListedAsTheyStand",
                    {resultRow(" 1000-x ", "北京市", "东城区", " 东华门&amp;街道 ")},
                    {listedRow(" 东华门&amp;街道 ", " 1000-x ")}}),
    [](const ::testing::TestParamInfo<RowCellCase>& info) { return std::string(info.param.name); });

struct MissingBlockCase
{
    const char* name;
    int status;
    std::string body;
};

class MissingBlockTest : public ResultPageTest, public ::testing::WithParamInterface<MissingBlockCase>
{
};

TEST_P(MissingBlockTest, FillCallShowsFailedOnceAndLeavesTheListEmpty)
{
    servePage(GetParam().body, GetParam().status);

    fetch();

    expectFailedFetch();
    EXPECT_EQ(countStartingWith(m_view.log, "insert "), 20);
    EXPECT_EQ(countStartingWith(m_view.log, "delete "), 20);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, MissingBlockTest,
    ::testing::Values(
        MissingBlockCase{"PagerAfterBareLineFeed", 200,
                         replaced(resultPage(numberedRows(2)), kPager, "\n<div id=\"page\">")},
        MissingBlockCase{"NoPager", 200, replaced(resultPage(numberedRows(2)), kPager, "\r\n")},
        MissingBlockCase{"HeaderRowChanged", 200,
                         replaced(resultPage(numberedRows(2)), "<span>邮编</span>", "<span>邮政编码</span>")},
        MissingBlockCase{"EmptyBody", 200, ""},
        MissingBlockCase{"ServerErrorWithoutBlock", 500, "<html><body>Internal Server Error</body></html>"},
        MissingBlockCase{"NotFoundWithoutBlock", 404, "Not Found"}),
    [](const ::testing::TestParamInfo<MissingBlockCase>& info) { return std::string(info.param.name); });

class ErrorStatusTest : public ResultPageTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(ErrorStatusTest, BodyOfAnErrorStatusIsTakenAsThePage)
{
    servePage(resultPage(numberedRows(1)), GetParam());

    fetch();

    EXPECT_EQ(m_view.utf8Rows(), std::vector<Cells>{listedRow(placeOf(0), postcodeOf(0))});
    EXPECT_TRUE(m_view.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Statuses, ErrorStatusTest, ::testing::Values(404, 500, 503));

TEST_F(ResultPageTest, UnreachableServiceShowsFailedAndListsNothing)
{
    const int port = closedPort();
    ASSERT_GT(port, 0);
    m_service = std::make_unique<query::PostcodeService>("http://127.0.0.1:" + std::to_string(port));

    EXPECT_EQ(m_service->get(pageUrl()), "");
    fetch();

    expectFailedFetch();
}

struct ProbeCase
{
    const char* name;
    std::string body;
    std::string block;
};

class ProbeTest : public ResultPageTest, public ::testing::WithParamInterface<ProbeCase>
{
};

TEST_P(ProbeTest, ProbeClearsTheListHandsTheBlockBackAndAddsNoRows)
{
    servePage(GetParam().body);
    m_view.rows.assign(3, RecordingView::Row{"x", "x", "x", "x", "x"});
    std::optional<Text> blockWhenShown;
    m_view.onCall = [this, &blockWhenShown](const std::string& entry) {
        if (entry == "message")
            blockWhenShown = m_block;
    };

    fetch(1, true);

    EXPECT_TRUE(m_view.rows.empty());
    EXPECT_EQ(blockUtf8(), GetParam().block);
    std::vector<std::string> expectedLog = {"clear", "province", "city", "county"};
    if (GetParam().block.empty()) {
        expectedLog.push_back("message");
        EXPECT_EQ(m_view.utf8Messages(), std::vector<std::string>{kFailed});
        EXPECT_EQ(blockWhenShown, Text()) << "the block is handed back before the message is shown";
    }
    EXPECT_EQ(m_view.log, expectedLog);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ProbeTest,
    ::testing::Values(ProbeCase{"WithBlock",
                                resultPage({resultRow("100000", "北京市", "东城区", "东华门街道")}),
                                resultRow("100000", "北京市", "东城区", "东华门街道") + "</li></ul>"},
                      ProbeCase{"WithoutBlock", "<html><body>没有结果</body></html>", ""}),
    [](const ::testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

TEST_F(ResultPageTest, BlockOfAnEarlierCallIsReplacedNotKept)
{
    servePage(resultPage(numberedRows(1)));
    m_block = query::gbkFromUtf8("上一页的块");

    fetch(1, true);

    EXPECT_EQ(blockUtf8(), resultRow(postcodeOf(0), "北京市", "东城区", placeOf(0)) + "</li></ul>");
}

class PageNumberTest : public ResultPageTest, public ::testing::WithParamInterface<int32_t>
{
};

TEST_P(PageNumberTest, PageNumberIsSentAsDecimalText)
{
    servePage(resultPage(numberedRows(1)));

    fetch(GetParam(), true);

    const FixtureRequest request = onlyRequest();
    EXPECT_EQ(request.target.rfind("/postcode/s?q=&pn=" + std::to_string(GetParam()) + "&prov=", 0), 0u)
        << request.target;
    EXPECT_EQ(request.param("pn"), std::to_string(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Numbers, PageNumberTest,
                         ::testing::Values(1, 2, 0, -3, std::numeric_limits<int32_t>::max(),
                                           std::numeric_limits<int32_t>::min()));

struct QueryValueCase
{
    const char* name;
    Text province;
    Text city;
    Text county;
    std::string target;
    std::array<std::string, 3> decoded; // prov, city, county as the server reads them
};

class QueryValueTest : public ResultPageTest, public ::testing::WithParamInterface<QueryValueCase>
{
};

TEST_P(QueryValueTest, ValuesAreSentFullyEscapedAndListedAsTyped)
{
    const QueryValueCase& value = GetParam();
    servePage(resultPage(numberedRows(1)));
    m_view.province = value.province;
    m_view.city = value.city;
    m_view.county = value.county;

    fetch();

    const FixtureRequest request = onlyRequest();
    EXPECT_EQ(request.target, value.target);
    EXPECT_EQ(request.params.size(), 5u);
    EXPECT_EQ(request.param("q"), "");
    EXPECT_EQ(request.param("prov"), value.decoded[0]);
    EXPECT_EQ(request.param("city"), value.decoded[1]);
    EXPECT_EQ(request.param("county"), value.decoded[2]);
    ASSERT_EQ(m_view.rows.size(), 1u);
    EXPECT_EQ(m_view.rows[0][0], value.province);
    EXPECT_EQ(m_view.rows[0][1], value.city);
    EXPECT_EQ(m_view.rows[0][2], value.county);
}

INSTANTIATE_TEST_SUITE_P(
    Values, QueryValueTest,
    ::testing::Values(
        QueryValueCase{"ChineseNames",
                       query::gbkFromUtf8("北京"),
                       query::gbkFromUtf8("市辖区"),
                       query::gbkFromUtf8("东城"),
                       "/postcode/s?q=&pn=1&prov=%E5%8C%97%E4%BA%AC&city=%E5%B8%82%E8%BE%96%E5%8C%BA"
                       "&county=%E4%B8%9C%E5%9F%8E",
                       {"北京", "市辖区", "东城"}},
        QueryValueCase{"AmpersandAndEquals",
                       "a&b=c",
                       query::gbkFromUtf8("北京&city=上海"),
                       "&county=",
                       "/postcode/s?q=&pn=1&prov=%61%26%62%3D%63&city=%E5%8C%97%E4%BA%AC%26%63%69%74%79%3D"
                       "%E4%B8%8A%E6%B5%B7&county=%26%63%6F%75%6E%74%79%3D",
                       {"a&b=c", "北京&city=上海", "&county="}},
        QueryValueCase{"OutsideGb2312IsSentEmpty",
                       "\xE9\x46",
                       query::gbkFromUtf8("北京") + "\xE9\x46",
                       query::gbkFromUtf8("东城"),
                       "/postcode/s?q=&pn=1&prov=&city=&county=%E4%B8%9C%E5%9F%8E",
                       {"", "", "东城"}},
        QueryValueCase{"UntouchedPrompts",
                       query::gbkFromUtf8("请输入<省份>"),
                       query::gbkFromUtf8("请输入<市>"),
                       query::gbkFromUtf8("请输入<县/区>"),
                       "/postcode/s?q=&pn=1&prov=%E8%AF%B7%E8%BE%93%E5%85%A5%3C%E7%9C%81%E4%BB%BD%3E"
                       "&city=%E8%AF%B7%E8%BE%93%E5%85%A5%3C%E5%B8%82%3E"
                       "&county=%E8%AF%B7%E8%BE%93%E5%85%A5%3C%E5%8E%BF%2F%E5%8C%BA%3E",
                       {"请输入<省份>", "请输入<市>", "请输入<县/区>"}},
        QueryValueCase{"EmptyBoxes", "", "", "", "/postcode/s?q=&pn=1&prov=&city=&county=", {"", "", ""}}),
    [](const ::testing::TestParamInfo<QueryValueCase>& info) { return std::string(info.param.name); });

struct UnholdableCase
{
    const char* name;
    std::string place;
    std::string listed;
};

class UnholdableCharacterTest : public ResultPageTest, public ::testing::WithParamInterface<UnholdableCase>
{
};

TEST_P(UnholdableCharacterTest, CharactersGbkCannotHoldArriveAsQuestionMarks)
{
    servePage(resultPage({resultRow("100000", "北京市", "东城区", GetParam().place)}));

    fetch();

    EXPECT_EQ(m_view.utf8Rows(), std::vector<Cells>{listedRow(GetParam().listed, "100000")});
}

INSTANTIATE_TEST_SUITE_P(Characters, UnholdableCharacterTest,
                         ::testing::Values(UnholdableCase{"Emoji", "😀街道", "?街道"},
                                           UnholdableCase{"Hangul", "한국路", "??路"},
                                           UnholdableCase{"AmongHoldable", "东😀华门", "东?华门"}),
                         [](const ::testing::TestParamInfo<UnholdableCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ResultPageTest, RequestIsHttp10WithTheOldBrowserAgentAndNoCaching)
{
    servePage(resultPage(numberedRows(1)));

    fetch();

    const FixtureRequest request = onlyRequest();
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.path, "/postcode/s");
    EXPECT_EQ(request.target, "/postcode/s?q=&pn=1&prov=%E5%8C%97%E4%BA%AC&city=%E5%B8%82%E8%BE%96%E5%8C%BA"
                              "&county=%E4%B8%9C%E5%9F%8E");
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(request.headers.count("Pragma"), 1u);
    EXPECT_EQ(request.header("Pragma"), "no-cache");
    EXPECT_EQ(request.headers.count("Cache-Control"), 1u);
    EXPECT_EQ(request.header("Cache-Control"), "no-cache");
}

// Points every proxy variable libcurl reads at a port nobody listens on, and takes the exceptions away.
class ProxyEnvironmentTest : public ResultPageTest
{
protected:
    void SetUp() override
    {
        const std::string deadProxy = "http://127.0.0.1:" + std::to_string(closedPort());
        for (const char* name : kProxyVariables) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::setenv(name, deadProxy.c_str(), 1);
        }
        for (const char* name : kExceptionVariables) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    static constexpr const char* kProxyVariables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                                      "HTTPS_PROXY", "ALL_PROXY",  "all_proxy"};
    static constexpr const char* kExceptionVariables[] = {"no_proxy", "NO_PROXY"};
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(ProxyEnvironmentTest, RequestGoesStraightToTheServiceWhateverTheEnvironmentSays)
{
    servePage(resultPage(numberedRows(1)));

    fetch();

    EXPECT_EQ(m_server->requests().size(), 1u);
    EXPECT_EQ(m_view.utf8Rows(), std::vector<Cells>{listedRow(placeOf(0), postcodeOf(0))});
}

TEST_F(ResultPageTest, BodyIsCutAtTheLimitKeepingTheBytesUntilThen)
{
    const std::string page = resultPage(numberedRows(1)) + std::string(256 * 1024, 'x');
    servePage(page);
    query::TransferLimits limits;
    limits.maxBodyBytes = 4096;
    m_service->setLimits(limits);

    EXPECT_EQ(m_service->get(pageUrl()), page.substr(0, 4096));
    fetch();

    EXPECT_EQ(m_view.utf8Rows(), std::vector<Cells>{listedRow(placeOf(0), postcodeOf(0))});
    EXPECT_TRUE(m_view.messages.empty());
}

TEST_F(ResultPageTest, BlockEndingPastTheLimitIsNotFound)
{
    const std::string page = resultPage(numberedRows(100));
    ASSERT_GT(page.find(kPager), 4096u);
    servePage(page);
    query::TransferLimits limits;
    limits.maxBodyBytes = 4096;
    m_service->setLimits(limits);

    fetch();

    expectFailedFetch();
}

TEST_F(ResultPageTest, BodyWithinTheDefaultLimitIsKeptWhole)
{
    const std::string page = resultPage(numberedRows(1)) + std::string(2 * 1024 * 1024, 'x');
    servePage(page);

    EXPECT_EQ(m_service->get(pageUrl()), page);
}

TEST_F(ResultPageTest, TransferRunningPastTheTotalTimeoutEndsEmpty)
{
    serve([this](const FixtureRequest&) {
        m_gate.hold(std::chrono::seconds(5));
        FixtureResponse response;
        response.body = resultPage(numberedRows(1));
        return response;
    });
    query::TransferLimits limits;
    limits.totalTimeout = std::chrono::milliseconds(300);
    m_service->setLimits(limits);

    fetch();
    m_gate.open();

    expectFailedFetch();
}

struct RedirectCase
{
    const char* name;
    int hops;
    bool listed;
};

class RedirectTest : public ResultPageTest, public ::testing::WithParamInterface<RedirectCase>
{
};

TEST_P(RedirectTest, RedirectsAreFollowedUpToTheLimit)
{
    const int hops = GetParam().hops;
    serve([hops](const FixtureRequest& request) {
        const int hop = request.path == "/postcode/s" ? 0 : std::atoi(request.path.substr(5).c_str());
        if (hop < hops)
            return redirectTo("/hop/" + std::to_string(hop + 1));
        FixtureResponse response;
        response.body = resultPage(numberedRows(1));
        return response;
    });

    fetch();

    if (GetParam().listed) {
        EXPECT_EQ(m_view.utf8Rows(), std::vector<Cells>{listedRow(placeOf(0), postcodeOf(0))});
        EXPECT_EQ(m_server->requests().size(), static_cast<std::size_t>(hops + 1));
        EXPECT_EQ(m_server->requests().back().path, "/hop/" + std::to_string(hops));
    } else {
        expectFailedFetch();
    }
}

INSTANTIATE_TEST_SUITE_P(Hops, RedirectTest,
                         ::testing::Values(RedirectCase{"One", 1, true}, RedirectCase{"Five", 5, true},
                                           RedirectCase{"Six", 6, false}),
                         [](const ::testing::TestParamInfo<RedirectCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ResultPageTest, RedirectLoopEndsWithAnEmptyBody)
{
    serve([](const FixtureRequest& request) { return redirectTo(request.target); });

    EXPECT_EQ(m_service->get(pageUrl()), "");
    const std::size_t firstGetRequests = m_server->requests().size();
    fetch();

    EXPECT_EQ(firstGetRequests, 6u);
    expectFailedFetch();
}

TEST_F(ResultPageTest, ServiceOutsideHttpIsNotAsked)
{
    char directory[] = "/tmp/result_page_testXXXXXX";
    ASSERT_NE(::mkdtemp(directory), nullptr);
    const std::string base = directory;
    ASSERT_EQ(::mkdir((base + "/postcode").c_str(), 0700), 0);
    {
        std::ofstream file(base + "/postcode/s", std::ios::binary);
        file << resultPage(numberedRows(1));
    }
    m_service = std::make_unique<query::PostcodeService>("file://" + base);

    fetch();
    std::remove((base + "/postcode/s").c_str());
    ::rmdir((base + "/postcode").c_str());
    ::rmdir(directory);

    expectFailedFetch();
}

} // namespace
