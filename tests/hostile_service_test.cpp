// The engine against a service that misbehaves on purpose: what the list shows, which message comes and
// that every call ends on its own or at its time limit, whatever the server sends or withholds.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixture_server.h"
#include "gbk.h"
#include "hostile_server.h"
#include "postcode_service.h"
#include "recording_view.h"
#include "result_page.h"
#include "stop_signal.h"

namespace {

using Cells = std::array<std::string, 5>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kFailed = "失败";
const std::string kProvince = "北京";
const std::string kCity = "市辖区";
const std::string kCounty = "东城";
const std::string kBlockStart = "<span>邮编</span><p>行政区域</p></li><li><span>";
const std::string kPager = "\r\n<div id=\"page\">";
const std::string kHtml = "Content-Type: text/html; charset=utf-8";

// The limit of the calls that must end on their own, and how soon they must have ended: a call that
// waited for the limit instead would fail the bound.
constexpr milliseconds kGenerousLimit{10000};
constexpr milliseconds kPromptly{5000};
// A short limit for the calls that can only end at it, and the bound they must keep.
constexpr milliseconds kShortLimit{1000};
constexpr milliseconds kShortLimitBound{5000};

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

std::vector<Cells> firstRows(int count)
{
    std::vector<Cells> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(listedRow(placeOf(i), postcodeOf(i)));
    return rows;
}

const std::string& twoRowPage()
{
    static const std::string page = resultPage(numberedRows(2));
    return page;
}

std::string repeated(const std::string& text, int times)
{
    std::string out;
    out.reserve(text.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string withLength(const std::string& statusLine, const std::string& body)
{
    return responseHead(statusLine, {kHtml, "Content-Length: " + std::to_string(body.size())}) + body;
}

HostileServer::Behaviour answering(const std::string& statusLine, const std::string& body)
{
    return [statusLine, body](HostileConnection& connection) {
        connection.readRequest();
        connection.send(withLength(statusLine, body));
    };
}

void closeAtOnce(HostileConnection&)
{
}

void answerInOddChunks(HostileConnection& connection)
{
    connection.readRequest();
    std::string answer = responseHead("HTTP/1.1 200 OK", {kHtml, "Transfer-Encoding: chunked"});
    // Seven bytes a chunk split the three-byte characters of the page across chunks.
    const std::string& page = twoRowPage();
    for (std::size_t at = 0; at < page.size(); at += 7) {
        const std::string chunk = page.substr(at, 7);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        answer += size + chunk + "\r\n";
    }
    connection.send(answer + "0\r\n\r\n");
}

void answerUntilClosed(HostileConnection& connection)
{
    connection.readRequest();
    connection.send(responseHead("HTTP/1.0 200 OK", {kHtml}) + twoRowPage());
}

void resetAfterTheBlock(HostileConnection& connection)
{
    connection.readRequest();
    const std::string answer = withLength("HTTP/1.1 200 OK", twoRowPage());
    const std::size_t cut = answer.find(kPager) + kPager.size() + 3;
    // The client has read what was sent by the time the reset comes.
    if (connection.send(answer.substr(0, cut)))
        connection.pause(milliseconds(200));
    connection.reset();
}

struct HostileCase
{
    const char* name;
    HostileServer::Behaviour behaviour;
    std::vector<Cells> listed; // empty: nothing listed and "失败" shown
};

std::string pageWithNotUtf8Place()
{
    return resultPage({resultRow(postcodeOf(0), "北京市", "东城区",
                                 "胡\xFF\xFE同\xE5\x8C"
                                 "0")});
}

const HostileCase kHostileCases[] = {
    {"ClosedAtOnce", closeAtOnce, {}},
    {"ChunkedInOddSizes", answerInOddChunks, firstRows(2)},
    {"WithoutContentLength", answerUntilClosed, firstRows(2)},
    {"ResetAfterTheBlock", resetAfterTheBlock, firstRows(2)},
    {"Status500WithBlock", answering("HTTP/1.1 500 Internal Server Error", twoRowPage()), firstRows(2)},
    {"Status500WithoutBlock", answering("HTTP/1.1 500 Internal Server Error", "<html>oops</html>"), {}},
    {"Status404WithBlock", answering("HTTP/1.1 404 Not Found", twoRowPage()), firstRows(2)},
    {"Status404WithoutBlock", answering("HTTP/1.1 404 Not Found", "<html>no such page</html>"), {}},
    // Each maximal malformed sequence becomes one '?': FF, FE, and the cut-off E5 8C before the digit.
    {"BodyNotUtf8",
     answering("HTTP/1.1 200 OK", pageWithNotUtf8Place()),
     {listedRow("胡??同?0", postcodeOf(0))}},
    // The page text ends at the first NUL, like every text, so the block behind it is never seen.
    {"NulBeforeTheBlock", answering("HTTP/1.1 200 OK", std::string("<html>\0\0", 8) + twoRowPage()), {}},
    {"TenThousandRows", answering("HTTP/1.1 200 OK", resultPage(numberedRows(10000))), firstRows(20)},
    {"OnlyBlockStartMarkers", answering("HTTP/1.1 200 OK", repeated(kBlockStart, 10000)), {}},
};

class HostileServiceTest : public ::testing::Test
{
protected:
    void serve(HostileServer::Behaviour behaviour)
    {
        m_server = std::make_unique<HostileServer>(std::move(behaviour));
        useService(m_server->baseUrl());
    }

    void useService(const std::string& baseUrl)
    {
        m_service = std::make_unique<query::PostcodeService>(baseUrl);
        setTotalLimit(kGenerousLimit);
    }

    void setTotalLimit(milliseconds limit)
    {
        query::TransferLimits limits;
        limits.totalTimeout = limit;
        m_service->setLimits(limits);
    }

    std::string pageUrl() const { return m_service->pageUrl(1, m_view.province, m_view.city, m_view.county); }

    std::string get()
    {
        const auto start = Clock::now();
        std::string body = m_service->get(pageUrl());
        m_took = Clock::now() - start;
        return body;
    }

    void fetch()
    {
        const auto start = Clock::now();
        query::fetchResultPage(m_view, *m_service, 1, m_block, false);
        m_took = Clock::now() - start;
    }

    void expectFailedFetch()
    {
        EXPECT_EQ(m_view.utf8Messages(), std::vector<std::string>{kFailed});
        EXPECT_TRUE(m_view.rows.empty());
        EXPECT_TRUE(m_block.empty());
    }

    void expectEndedWithin(milliseconds bound) const
    {
        EXPECT_LT(m_took, bound) << "took " << std::chrono::duration_cast<milliseconds>(m_took).count()
                                 << " ms";
    }

    RecordingView m_view{kProvince, kCity, kCounty};
    std::unique_ptr<HostileServer> m_server;
    std::unique_ptr<query::PostcodeService> m_service;
    query::Text m_block = "stale";
    Clock::duration m_took{};
};

class HostileCaseTest : public HostileServiceTest, public ::testing::WithParamInterface<HostileCase>
{
};

TEST_P(HostileCaseTest, ListsWhatThePageHoldsOrFailsAndEndsOnItsOwn)
{
    serve(GetParam().behaviour);

    fetch();

    expectEndedWithin(kPromptly);
    if (GetParam().listed.empty()) {
        expectFailedFetch();
    } else {
        EXPECT_EQ(m_view.utf8Rows(), GetParam().listed);
        EXPECT_TRUE(m_view.messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Behaviours, HostileCaseTest, ::testing::ValuesIn(kHostileCases),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(HostileServiceTest, RefusedConnectionFailsAtOnce)
{
    useService("http://127.0.0.1:" + std::to_string(refusingPort()));

    EXPECT_EQ(get(), "");
    fetch();

    expectEndedWithin(kPromptly);
    expectFailedFetch();
}

TEST_F(HostileServiceTest, NulBytesStayInTheBodyButEndThePageText)
{
    const std::string body = std::string("<html>\0\0", 8) + twoRowPage();
    serve(answering("HTTP/1.1 200 OK", body));

    EXPECT_EQ(get(), body);
    EXPECT_EQ(query::gbkFromUtf8(body), "<html>");
}

TEST_F(HostileServiceTest, HeadersThenSilenceEndAtTheTotalLimitWithNothing)
{
    serve([](HostileConnection& connection) {
        connection.readRequest();
        connection.send(responseHead("HTTP/1.1 200 OK", {kHtml, "Content-Length: 5000"}));
        connection.holdSilent();
    });
    setTotalLimit(kShortLimit);

    EXPECT_EQ(get(), "");
    expectEndedWithin(kShortLimitBound);
    fetch();

    expectEndedWithin(kShortLimitBound);
    expectFailedFetch();
}

TEST_F(HostileServiceTest, SlowDripEndsAtTheTotalLimitKeepingTheBytesSoFar)
{
    // The block arrives at once, the rest of the page a byte a second.
    const std::string& page = twoRowPage();
    const std::string atOnce = page.substr(0, page.find(kPager) + kPager.size());
    serve([&page, &atOnce](HostileConnection& connection) {
        connection.readRequest();
        if (!connection.send(responseHead("HTTP/1.0 200 OK", {kHtml}) + atOnce))
            return;
        for (std::size_t at = atOnce.size(); at < page.size(); ++at) {
            if (!connection.pause(milliseconds(1000)) || !connection.send(page.substr(at, 1)))
                return;
        }
    });
    setTotalLimit(milliseconds(2500));

    const std::string body = get();
    expectEndedWithin(milliseconds(2500) + kShortLimitBound);
    fetch();

    EXPECT_GT(body.size(), atOnce.size());
    EXPECT_LT(body.size(), page.size());
    EXPECT_EQ(body, page.substr(0, body.size()));
    expectEndedWithin(milliseconds(2500) + kShortLimitBound);
    EXPECT_EQ(m_view.utf8Rows(), firstRows(2));
    EXPECT_TRUE(m_view.messages.empty());
}

// The peak a body cut at 8 MiB may add: the body and the growth of its buffer. The sanitizers keep the
// freed buffers of that growth for a while and add their shadow, which the bound has to allow for; still
// well below the 100 MiB that holding the whole answer would take.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kCutBodyGrowthLimitKiB = 80 * 1024;
#else
constexpr long kCutBodyGrowthLimitKiB = 48 * 1024;
#endif

long maxResidentKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(HostileServiceTest, HundredMebibyteBodyIsCutAtEightWithBoundedMemory)
{
    constexpr std::size_t kAnnounced = 100u << 20;
    constexpr std::size_t kCut = 8u << 20;
    const std::string& page = twoRowPage();
    serve([&page](HostileConnection& connection) {
        connection.readRequest();
        const std::string head =
            responseHead("HTTP/1.1 200 OK", {kHtml, "Content-Length: " + std::to_string(kAnnounced)});
        if (!connection.send(head + page))
            return;
        const std::string filler(64 * 1024, 'x');
        for (std::size_t sent = page.size(); sent < kAnnounced; sent += filler.size()) {
            if (!connection.send(filler.substr(0, std::min(filler.size(), kAnnounced - sent))))
                return;
        }
    });
    const long residentBefore = maxResidentKiB();

    const std::string body = get();
    const long growthKiB = maxResidentKiB() - residentBefore;
    fetch();

    ASSERT_EQ(body.size(), kCut);
    EXPECT_EQ(body.compare(0, page.size(), page), 0);
    EXPECT_EQ(body.find_first_not_of('x', page.size()), std::string::npos);
    EXPECT_LT(growthKiB, kCutBodyGrowthLimitKiB) << "the peak resident size grew by " << growthKiB << " KiB";
    EXPECT_EQ(m_view.utf8Rows(), firstRows(2));
    EXPECT_TRUE(m_view.messages.empty());
}

TEST_F(HostileServiceTest, RedirectLoopEndsAfterFiveRedirectsAndFails)
{
    // Each redirect carries a whole result page, which must not be taken for the answer.
    serve([](HostileConnection& connection) {
        const std::string request = connection.readRequest();
        const std::size_t targetStart = request.find(' ') + 1;
        const std::string target = request.substr(targetStart, request.find(' ', targetStart) - targetStart);
        connection.send(responseHead("HTTP/1.1 302 Found", {"Location: " + target}) + twoRowPage());
    });

    EXPECT_EQ(get(), "");
    EXPECT_EQ(m_server->requestLines().size(), 6u);
    fetch();

    expectEndedWithin(kPromptly);
    expectFailedFetch();
}

// A page on disk that a followed file:// redirect would list.
class PageFile
{
public:
    PageFile()
    {
        char directory[] = "/tmp/hostile_service_testXXXXXX";
        if (::mkdtemp(directory) != nullptr)
            m_directory = directory;
        std::ofstream(path(), std::ios::binary) << twoRowPage();
    }
    ~PageFile()
    {
        std::remove(path().c_str());
        ::rmdir(m_directory.c_str());
    }
    std::string path() const { return m_directory + "/page.html"; }

private:
    std::string m_directory;
};

TEST_F(HostileServiceTest, RedirectToFtpIsNotFollowed)
{
    HostileServer elsewhere([](HostileConnection& connection) {
        connection.send("220 ready\r\n");
        connection.holdSilent();
    });
    const std::string location = "ftp://127.0.0.1:" + std::to_string(elsewhere.port()) + "/page.html";
    serve([location](HostileConnection& connection) {
        connection.readRequest();
        connection.send(responseHead("HTTP/1.1 302 Found", {"Location: " + location, "Content-Length: 0"}));
    });

    fetch();
    elsewhere.stop();

    EXPECT_EQ(elsewhere.connections(), 0);
    expectEndedWithin(kPromptly);
    expectFailedFetch();
}

TEST_F(HostileServiceTest, RedirectToFileIsNotFollowed)
{
    const PageFile file;
    const std::string location = "file://" + file.path();
    serve([location](HostileConnection& connection) {
        connection.readRequest();
        connection.send(responseHead("HTTP/1.1 302 Found", {"Location: " + location, "Content-Length: 0"}));
    });

    fetch();

    expectEndedWithin(kPromptly);
    expectFailedFetch();
}

TEST_F(HostileServiceTest, RowsPastTheRepeatedBlockStartComeFromTheFirstDataRow)
{
    // Every pass steps past one "</p>" of a repeated header cell, so every later search of a pass lands
    // in the first data row; the list stays bounded at 20 rows.
    const std::string page = resultPage(numberedRows(2));
    const std::size_t at = page.find(kBlockStart);
    serve(answering("HTTP/1.1 200 OK", page.substr(0, at) + repeated(kBlockStart, 9999) + page.substr(at)));

    fetch();

    expectEndedWithin(kPromptly);
    EXPECT_TRUE(m_view.messages.empty());
    const auto rows = m_view.utf8Rows();
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0][3], placeOf(0));
    EXPECT_EQ(rows[0].at(4).rfind(kBlockStart.substr(6), 0), 0u);
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], listedRow(placeOf(0), postcodeOf(0))) << "row " << i;
}

TEST_F(HostileServiceTest, StopSignalEndsAHangingTransferPromptly)
{
    serve([](HostileConnection& connection) {
        connection.readRequest();
        connection.holdSilent();
    });
    auto stop = std::make_shared<query::StopSignal>();
    m_service->setStopSignal(stop);

    std::thread stopper([stop] {
        std::this_thread::sleep_for(milliseconds(300));
        stop->request();
    });
    const std::string body = get();
    stopper.join();

    EXPECT_EQ(body, "");
    expectEndedWithin(kPromptly);
}

} // namespace
