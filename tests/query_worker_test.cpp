// Page-count discovery and the query worker against a real HTTP server that serves a table of pages:
// the order of the requests, the count found, the listing, and how a stopped worker ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixture_server.h"
#include "gbk.h"
#include "postcode_service.h"
#include "query_worker.h"
#include "recording_view.h"
#include "stop_signal.h"

namespace {

const std::string kFailed = "失败";

// A page with the block holding one row whose postcode stands for the page; "" for a page without block.
FixtureResponse pageWithPostcode(const std::string& postcode)
{
    FixtureResponse response;
    response.body = postcode.empty() ? "<html><body>没有结果</body></html>"
                                     : resultPage({resultRow(postcode, "北京市", "东城区", "东华门街道")});
    return response;
}

int32_t pageNumberOf(const FixtureRequest& request)
{
    return static_cast<int32_t>(std::atoi(request.param("pn").c_str()));
}

// Serves page n as pages[n - 1]; pages past the table have no block.
FixtureServer::Handler servingTable(std::vector<std::string> pages)
{
    return [pages](const FixtureRequest& request) {
        const int32_t page = pageNumberOf(request);
        return pageWithPostcode(page >= 1 && page <= static_cast<int32_t>(pages.size()) ? pages[page - 1]
                                                                                        : "");
    };
}

// The page counters, noting when the worker reads and what it publishes.
class RecordingPageCounters : public query::PageCounters
{
public:
    RecordingPageCounters(int32_t current, RecordingView& view, const FixtureServer& server)
        : m_current(current), m_view(view), m_server(server)
    {
    }

    int32_t currentPage() override
    {
        ++reads;
        requestsAtRead = static_cast<int>(m_server.requests().size());
        m_view.log.push_back("currentPage");
        if (onRead)
            onRead();
        return m_current;
    }

    void publishTotalPages(int32_t totalPages) override
    {
        published.push_back(totalPages);
        m_view.log.push_back("publish");
    }

    int reads = 0;
    int requestsAtRead = -1;
    std::vector<int32_t> published;
    std::function<void()> onRead;

private:
    int32_t m_current;
    RecordingView& m_view;
    const FixtureServer& m_server;
};

class QueryWorkerTest : public ::testing::Test
{
protected:
    void serve(FixtureServer::Handler handler, int32_t currentPage = 1)
    {
        m_server = std::make_unique<FixtureServer>(std::move(handler));
        m_service = std::make_unique<query::PostcodeService>(m_server->baseUrl());
        m_service->setStopSignal(m_stop);
        m_pages = std::make_unique<RecordingPageCounters>(currentPage, m_view, *m_server);
    }

    void runWorker() { query::runQueryWorker(m_view, *m_service, *m_pages, *m_stop); }

    std::vector<int32_t> requestedPages() const
    {
        std::vector<int32_t> pages;
        for (const FixtureRequest& request : m_server->requests())
            pages.push_back(pageNumberOf(request));
        return pages;
    }

    // A stopped worker reads no page, publishes nothing, and started no fetch after the stopped one.
    void expectStoppedAfter(const std::vector<int32_t>& requests)
    {
        EXPECT_EQ(requestedPages(), requests);
        EXPECT_EQ(m_view.count("clear"), static_cast<int>(requests.size()));
        EXPECT_EQ(m_pages->reads, 0);
        EXPECT_TRUE(m_pages->published.empty());
    }

    RecordingView m_view{"北京", "北京", "东城区"};
    std::shared_ptr<query::StopSignal> m_stop = std::make_shared<query::StopSignal>();
    RequestGate m_gate; // outlives the server, whose handlers may wait on it
    std::unique_ptr<FixtureServer> m_server;
    std::unique_ptr<query::PostcodeService> m_service;
    std::unique_ptr<RecordingPageCounters> m_pages;
};

struct DiscoveryCase
{
    const char* name;
    std::vector<std::string> pages; // postcode of page n at n - 1; "" for a page without block
    int32_t currentPage;
    std::vector<int32_t> requests;
    int32_t totalPages;
    int failures;
    std::string listedPostcode; // "" when the listed page has no rows
};

class DiscoveryTest : public QueryWorkerTest, public ::testing::WithParamInterface<DiscoveryCase>
{
};

TEST_P(DiscoveryTest, RequestsPagesInPairsUntilNeighboursAgreeThenListsTheCurrentPage)
{
    const DiscoveryCase& c = GetParam();
    serve(servingTable(c.pages), c.currentPage);

    runWorker();

    EXPECT_EQ(requestedPages(), c.requests);
    EXPECT_EQ(m_pages->published, std::vector<int32_t>{c.totalPages});
    EXPECT_EQ(m_pages->reads, 1);
    EXPECT_EQ(m_pages->requestsAtRead, static_cast<int>(c.requests.size()) - 1)
        << "currentPage is read after the last probe and before the listing";
    EXPECT_EQ(m_view.utf8Messages(), std::vector<std::string>(c.failures, kFailed));
    if (c.listedPostcode.empty()) {
        EXPECT_TRUE(m_view.rows.empty());
    } else {
        ASSERT_EQ(m_view.rows.size(), 1u);
        EXPECT_EQ(query::utf8FromGbk(m_view.rows[0][4]), c.listedPostcode);
    }
    const auto read = std::find(m_view.log.begin(), m_view.log.end(), "currentPage");
    EXPECT_TRUE(std::none_of(m_view.log.begin(), read, [](const std::string& entry) {
        return entry.rfind("insert ", 0) == 0;
    })) << "probes add no rows";
    EXPECT_EQ(m_view.log.back(), "publish");
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DiscoveryTest,
    ::testing::Values(
        DiscoveryCase{"EmptyFirstPage", {}, 1, {1, 1}, 0, 2, ""},
        DiscoveryCase{
            "EmptyFirstPageListsANonEmptyCurrentPage", {"", "", "100003"}, 3, {1, 3}, 0, 1, "100003"},
        DiscoveryCase{"OnePage", {"100001", "100001"}, 1, {1, 2, 1, 1}, 1, 0, "100001"},
        DiscoveryCase{"ThreePagesThenARepeat",
                      {"100001", "100002", "100003", "100003"},
                      1,
                      {1, 2, 1, 3, 2, 4, 3, 1},
                      3,
                      0,
                      "100001"},
        DiscoveryCase{"ListingUsesTheCurrentPage",
                      {"100001", "100002", "100003", "100003"},
                      3,
                      {1, 2, 1, 3, 2, 4, 3, 3},
                      3,
                      0,
                      "100003"},
        DiscoveryCase{"EmptyPagesPastTheLast",
                      {"100001", "100002", "100003"},
                      2,
                      {1, 2, 1, 3, 2, 4, 3, 5, 4, 2},
                      3,
                      3,
                      "100002"},
        DiscoveryCase{"OnlyNeighboursAreCompared",
                      {"100001", "100002", "100001", "100004", "100004"},
                      1,
                      {1, 2, 1, 3, 2, 4, 3, 5, 4, 1},
                      4,
                      0,
                      "100001"},
        DiscoveryCase{"EmptyPageAmongResultPages",
                      {"100001", "", "100003"},
                      1,
                      {1, 2, 1, 3, 2, 4, 3, 5, 4, 1},
                      3,
                      5,
                      "100001"},
        DiscoveryCase{
            "EmptyCurrentPageShowsFailedOnceMore", {"100001", "100001"}, 7, {1, 2, 1, 7}, 1, 1, ""}),
    [](const ::testing::TestParamInfo<DiscoveryCase>& info) { return std::string(info.param.name); });

// Page n holds the postcode n: no two pages are alike.
FixtureServer::Handler servingDistinctPages()
{
    return
        [](const FixtureRequest& request) { return pageWithPostcode(std::to_string(pageNumberOf(request))); };
}

TEST_F(QueryWorkerTest, DiscoveryEndsAfterTheLastPassOfTheBound)
{
    serve(servingDistinctPages());

    runWorker();

    std::vector<int32_t> expected = {1};
    for (int32_t pass = 2; pass <= query::kMaxDiscoveryPasses; ++pass) {
        expected.push_back(pass);
        expected.push_back(pass - 1);
    }
    expected.push_back(1);
    EXPECT_EQ(requestedPages(), expected);
    EXPECT_EQ(m_pages->requestsAtRead, 1999);
    EXPECT_EQ(m_pages->published, std::vector<int32_t>{999});
}

struct BoundCase
{
    const char* name;
    std::vector<std::string> pages;
    int32_t maxPasses;
    int32_t count;
    std::vector<int32_t> requests;
};

class BoundTest : public QueryWorkerTest, public ::testing::WithParamInterface<BoundCase>
{
};

TEST_P(BoundTest, BoundEndsDiscoveryAsIfTheLastPairWereEqual)
{
    serve(servingTable(GetParam().pages));

    EXPECT_EQ(query::discoverPageCount(m_view, *m_service, *m_stop, GetParam().maxPasses), GetParam().count);

    EXPECT_EQ(requestedPages(), GetParam().requests);
    EXPECT_TRUE(m_view.rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, BoundTest,
    ::testing::Values(BoundCase{"OnePass", {"1", "2", "3"}, 1, 0, {1}},
                      BoundCase{"TwoPasses", {"1", "2", "3"}, 2, 1, {1, 2, 1}},
                      BoundCase{
                          "FivePasses", {"1", "2", "3", "4", "5", "6"}, 5, 4, {1, 2, 1, 3, 2, 4, 3, 5, 4}},
                      BoundCase{"RepeatAtTheLastPass", {"1", "2", "2"}, 3, 2, {1, 2, 1, 3, 2}},
                      BoundCase{"RepeatBeforeTheBound", {"1", "1"}, 5, 1, {1, 2, 1}}),
    [](const ::testing::TestParamInfo<BoundCase>& info) { return std::string(info.param.name); });

TEST_F(QueryWorkerTest, StopRaisedWhileTheServerAnswersEndsTheWorkerAfterThatRequest)
{
    auto answered = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<query::StopSignal> stop = m_stop;
    serve([answered, stop](const FixtureRequest& request) {
        if (++*answered == 5)
            stop->request();
        return pageWithPostcode(std::to_string(pageNumberOf(request)));
    });

    runWorker();

    expectStoppedAfter({1, 2, 1, 3, 2});
}

TEST_F(QueryWorkerTest, StopFromAnotherThreadAbortsTheTransferInProgress)
{
    auto answered = std::make_shared<std::atomic<int>>(0);
    serve([this, answered](const FixtureRequest& request) {
        if (++*answered == 3)
            m_gate.hold(std::chrono::seconds(5));
        return pageWithPostcode(std::to_string(pageNumberOf(request)));
    });

    std::thread worker([this] { runWorker(); });
    EXPECT_TRUE(m_gate.waitUntilHolding(std::chrono::seconds(5)));
    m_stop->request();
    worker.join();
    const bool stillHeld = m_gate.holding();
    m_gate.open();

    EXPECT_TRUE(stillHeld) << "the worker waited for the server to answer instead of aborting the transfer";
    expectStoppedAfter({1, 2, 1});
}

TEST_F(QueryWorkerTest, StopRaisedBeforeARequestKeepsItFromBeingSent)
{
    serve(servingDistinctPages());
    int countyReads = 0;
    m_view.onCall = [this, &countyReads](const std::string& entry) {
        // The edit boxes are read last before the request goes out.
        if (entry == "county" && ++countyReads == 4)
            m_stop->request();
    };

    runWorker();

    EXPECT_EQ(requestedPages(), (std::vector<int32_t>{1, 2, 1}));
    EXPECT_EQ(m_pages->reads, 0);
    EXPECT_TRUE(m_pages->published.empty());
}

TEST_F(QueryWorkerTest, StopDuringTheListingPublishesNothing)
{
    serve(servingTable({"100001", "100002", "100002"}));
    m_pages->onRead = [this] { m_stop->request(); };

    runWorker();

    EXPECT_EQ(requestedPages(), (std::vector<int32_t>{1, 2, 1, 3, 2}));
    EXPECT_EQ(m_pages->reads, 1);
    EXPECT_TRUE(m_pages->published.empty());
}

TEST_F(QueryWorkerTest, WorkerStoppedBeforeItStartsSendsNothing)
{
    serve(servingTable({"100001", "100001"}));
    m_stop->request();

    runWorker();

    EXPECT_TRUE(m_server->requests().empty());
    EXPECT_EQ(m_pages->reads, 0);
    EXPECT_TRUE(m_pages->published.empty());
}

} // namespace
