// The engine against its limits: a page fetch and a discovery against bare GETs of the same URLs, and the
// row loop against the copies a row loop cannot avoid. Run: engine_bench --service=URL [benchmark flags].
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_queries.h"
#include "counting_view.h"
#include "gbk.h"
#include "postcode_service.h"
#include "query_worker.h"
#include "raw_get.h"
#include "result_page.h"
#include "stop_signal.h"

namespace {

std::string g_serviceUrl;

const query::PostcodeService& service()
{
    static const query::PostcodeService instance(g_serviceUrl);
    return instance;
}

bench::CountingView viewFor(const bench::BenchQuery& query)
{
    return bench::CountingView(query::gbkFromUtf8(query.province), query::gbkFromUtf8(query.city),
                               query::gbkFromUtf8(query.county));
}

std::string pageUrl(const bench::BenchQuery& query, int32_t page)
{
    return service().pageUrl(page, query::gbkFromUtf8(query.province), query::gbkFromUtf8(query.city),
                             query::gbkFromUtf8(query.county));
}

// 20 rows as the service writes them, then a tail of about 1 MiB full of stray row markers, ending as
// a block ends; in GBK.
const query::Text& longBlock()
{
    static const query::Text block = [] {
        std::string utf8;
        const std::string link =
            "<a href=\"/postcode/s?q=&amp;pn=1&amp;prov=%E5%8C%97&amp;city=&amp;county=\">";
        for (int row = 1; row <= query::kRowsPerPage; ++row) {
            if (row > 1)
                utf8 += "</li><li><span>";
            utf8 += link + std::to_string(100000 + row) + "</a></span><p>" + link + "北京市</a> " + link +
                    "东城区</a> 第" + std::to_string(row) + "街道</p>";
        }
        const std::string stray = "</li><li><span><b>></b> 说明</a>文字</p> 注释<i>x</a> y</i> 东城区</a> "
                                  "景山街道</p>\r\n";
        while (utf8.size() < 1024 * 1024)
            utf8 += stray;
        utf8 += "</li></ul>";
        return query::gbkFromUtf8(utf8);
    }();
    return block;
}

void fetchResultPageFill(benchmark::State& state)
{
    bench::CountingView view = viewFor(bench::kTenPages);
    query::Text block;
    for (auto _ : state) {
        query::fetchResultPage(view, service(), 1, block, false);
        benchmark::DoNotOptimize(view.cellBytes());
    }
    if (block.empty() || view.rows() != query::kRowsPerPage || view.messages() != 0)
        state.SkipWithError("the page did not list 20 rows");
}

void rawGetSamePage(benchmark::State& state)
{
    const std::string url = pageUrl(bench::kTenPages, 1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string body = bench::rawGet(url);
        bytes = body.size();
        benchmark::DoNotOptimize(body.data());
    }
    if (bytes == 0)
        state.SkipWithError("the GET brought nothing");
}

// The engine's own GET of the page, without the cutting: tells the transfer's share from the page work's.
void serviceGetSamePage(benchmark::State& state)
{
    const std::string url = pageUrl(bench::kTenPages, 1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string body = service().get(url);
        bytes = body.size();
        benchmark::DoNotOptimize(body.data());
    }
    if (bytes == 0)
        state.SkipWithError("the GET brought nothing");
}

void runQueryWorkerTenPages(benchmark::State& state)
{
    bench::CountingView view = viewFor(bench::kTenPages);
    bench::FixedPageCounters counters;
    const query::StopSignal stop;
    for (auto _ : state) {
        query::runQueryWorker(view, service(), counters, stop);
        benchmark::DoNotOptimize(view.cellBytes());
    }
    if (counters.totalPages() != bench::kTenPages.pages || view.rows() != query::kRowsPerPage)
        state.SkipWithError("the discovery did not find 10 pages and list 20 rows");
}

void rawGetDiscoveryRequests(benchmark::State& state)
{
    std::vector<std::string> urls;
    for (int32_t page : bench::discoveryPageOrder(bench::kTenPages.pages))
        urls.push_back(pageUrl(bench::kTenPages, page));
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& url : urls) {
            const std::string body = bench::rawGet(url);
            bytes = body.size();
            benchmark::DoNotOptimize(body.data());
        }
    }
    state.counters["requests"] = double(urls.size());
    if (bytes == 0)
        state.SkipWithError("a GET brought nothing");
}

void fillRowsLongBlock(benchmark::State& state)
{
    const query::Text& block = longBlock();
    bench::CountingView view = viewFor(bench::kTenPages);
    for (auto _ : state) {
        view.clearRows();
        query::fillRows(view, block);
        benchmark::DoNotOptimize(view.cellBytes());
    }
    if (view.rows() != query::kRowsPerPage)
        state.SkipWithError("the row loop did not keep 20 rows");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}

// What any row loop that hands on the rest as a text of its own must do: find the row end, copy the rest.
void findAndCopyLongBlock(benchmark::State& state)
{
    const query::Text& block = longBlock();
    for (auto _ : state) {
        std::size_t from = 0;
        for (int pass = 0; pass < query::kRowsPerPage; ++pass) {
            const std::size_t rowEnd = block.find("</p>", from);
            from = rowEnd == std::string::npos ? block.size() : rowEnd + 4;
            const query::Text rest(block, from);
            benchmark::DoNotOptimize(rest.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--service=", 10) == 0)
            g_serviceUrl = argv[i] + 10;
    }
    if (g_serviceUrl.empty()) {
        std::fprintf(stderr, "usage: engine_bench --service=http://127.0.0.1:PORT [benchmark flags]\n");
        return 2;
    }
    query::initHttpClient();

    benchmark::RegisterBenchmark("fetchResultPage_fill", fetchResultPageFill)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("rawGet_samePage", rawGetSamePage)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("serviceGet_samePage", serviceGetSamePage)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("runQueryWorker_10pages", runQueryWorkerTenPages)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("rawGet_22requests", rawGetDiscoveryRequests)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("fillRows_1MiB", fillRowsLongBlock)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("findAndCopy_1MiB", findAndCopyLongBlock)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
