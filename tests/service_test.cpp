// The stand-in postcode service: its pages as the client's engine reads them, its matching and refusals,
// and the executable's start-up, data checks and request log.
#include <gtest/gtest.h>
#include <httplib.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "catalogue.h"
#include "gbk.h"
#include "postcode_service.h"
#include "query_worker.h"
#include "result_html.h"
#include "result_page.h"
#include "stand_in_server.h"

extern char** environ;

namespace {

const std::string kFixturePlaces = std::string(FIXTURE_DIR) + "/service_places.tsv";
const std::string kFailed = "失败";

using Row = std::pair<std::string, std::string>; // place, postcode as the client lists them, in UTF-8

// The fixture's rows, read here independently of the service's own reader.
std::vector<service::Place> placesOfFile(const std::string& path)
{
    std::ifstream file(path);
    std::vector<service::Place> places;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        places.push_back({fields.at(0), fields.at(1), fields.at(2), fields.at(3), fields.at(4)});
    }
    return places;
}

std::vector<Row> rowsOfCounty(const std::string& county)
{
    std::vector<Row> rows;
    for (const service::Place& place : placesOfFile(kFixturePlaces)) {
        if (place.county == county)
            rows.emplace_back(place.place, place.postcode);
    }
    return rows;
}

std::vector<Row> slice(const std::vector<Row>& rows, std::size_t begin, std::size_t end)
{
    return std::vector<Row>(rows.begin() + std::min(begin, rows.size()),
                            rows.begin() + std::min(end, rows.size()));
}

// The main window as the engine sees it: edit boxes holding GBK texts, a list and the message boxes.
class RecordingView : public query::ResultView
{
public:
    RecordingView(const std::string& province, const std::string& city, const std::string& county)
        : m_province(query::gbkFromUtf8(province)), m_city(query::gbkFromUtf8(city)),
          m_county(query::gbkFromUtf8(county))
    {
    }

    query::Text provinceText() override { return m_province; }
    query::Text cityText() override { return m_city; }
    query::Text countyText() override { return m_county; }
    void clearRows() override { m_rows.clear(); }
    int insertRow(int position, const query::Text& firstCell) override
    {
        const int index = std::clamp(position, 0, static_cast<int>(m_rows.size()));
        m_rows.insert(m_rows.begin() + index, std::array<query::Text, 5>{firstCell});
        return index;
    }
    void setCell(int row, int column, const query::Text& text) override { m_rows.at(row).at(column) = text; }
    void deleteRow(int row) override
    {
        ASSERT_LT(static_cast<std::size_t>(row), m_rows.size());
        m_rows.erase(m_rows.begin() + row);
    }
    void showMessage(const query::Text& text) override { m_messages.push_back(query::utf8FromGbk(text)); }

    std::vector<Row> rows() const
    {
        std::vector<Row> rows;
        for (const auto& cells : m_rows)
            rows.emplace_back(query::utf8FromGbk(cells[3]), query::utf8FromGbk(cells[4]));
        return rows;
    }
    const std::vector<std::string>& messages() const { return m_messages; }

private:
    query::Text m_province;
    query::Text m_city;
    query::Text m_county;
    std::vector<std::array<query::Text, 5>> m_rows;
    std::vector<std::string> m_messages;
};

struct Listing
{
    std::vector<Row> rows;
    std::vector<std::string> messages;
    query::Text block;
};

Listing listPage(const std::string& baseUrl, const service::PlaceQuery& typed, int32_t page)
{
    RecordingView view(typed.province, typed.city, typed.county);
    const query::PostcodeService postcodeService(baseUrl);
    query::Text block = "left over";
    query::fetchResultPage(view, postcodeService, page, block, false);
    return {view.rows(), view.messages(), block};
}

// The service on a thread of the test, on a free port.
class InProcessService
{
public:
    explicit InProcessService(const std::string& dataFile)
    {
        if (!m_catalogue.readFile(dataFile).empty())
            throw std::runtime_error("the stand-in refuses " + dataFile);
        m_server = std::make_unique<service::StandInServer>(m_catalogue);
        m_port = m_server->listen(0);
        if (m_port <= 0)
            throw std::runtime_error("the stand-in found no free port");
        m_thread = std::thread([this] { m_server->serve(); });
    }
    ~InProcessService()
    {
        m_server->stop();
        m_thread.join();
    }

    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int port() const { return m_port; }

private:
    service::Catalogue m_catalogue;
    std::unique_ptr<service::StandInServer> m_server;
    std::thread m_thread;
    int m_port = 0;
};

// A directory of its own for each test, removed afterwards.
class TempDir
{
public:
    TempDir()
    {
        std::string pattern = testing::TempDir() + "service_test.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no temporary directory");
        m_path = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }

    std::string file(const std::string& name) const { return m_path + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const
    {
        std::ofstream(file(name), std::ios::binary) << content;
        return file(name);
    }

private:
    std::string m_path;
};

std::string readAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The postcode-service executable as a child process: stdout through a pipe, stderr into a file.
class ServiceProcess
{
public:
    explicit ServiceProcess(const std::vector<std::string>& arguments) : m_errorFile(m_dir.file("stderr"))
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            throw std::runtime_error("no pipe");
        std::vector<std::string> command{POSTCODE_SERVICE_EXECUTABLE};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : command)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        m_stdout = pipeFds[0];
        if (spawned != 0) {
            close(m_stdout);
            throw std::runtime_error("cannot start " POSTCODE_SERVICE_EXECUTABLE);
        }
    }
    ~ServiceProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_stdout);
    }

    // The first line printed, without its line feed; empty when the service ended without one.
    std::string firstLine()
    {
        std::string line;
        char c;
        while (read(m_stdout, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // The base URL from the "listening on" line; empty when the service did not start.
    std::string baseUrl()
    {
        const std::string line = firstLine();
        static const std::regex kListening("listening on (http://127\\.0\\.0\\.1:[0-9]+)");
        std::smatch match;
        return std::regex_match(line, match, kListening) ? match[1].str() : std::string();
    }

    // The exit code; -1 when it was ended by a signal. Only for a service that is about to end by itself.
    int wait()
    {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string errorOutput() const { return readAll(m_errorFile); }

private:
    TempDir m_dir;
    std::string m_errorFile;
    pid_t m_pid = 0;
    int m_stdout = -1;
};

class ServicePages : public testing::Test
{
protected:
    static void SetUpTestSuite() { s_service = new InProcessService(kFixturePlaces); }
    static void TearDownTestSuite()
    {
        delete s_service;
        s_service = nullptr;
    }

    static InProcessService* s_service;
};
InProcessService* ServicePages::s_service = nullptr;

const service::PlaceQuery kDongcheng{"北京", "北京", "东城区"};

TEST_F(ServicePages, ListTheMatchingPlacesTwentyAPageInFileOrder)
{
    const std::vector<Row> expected = rowsOfCounty("东城区");
    ASSERT_EQ(expected.size(), 22u);

    const Listing first = listPage(s_service->baseUrl(), kDongcheng, 1);
    const Listing second = listPage(s_service->baseUrl(), kDongcheng, 2);

    EXPECT_EQ(first.rows, slice(expected, 0, 20));
    EXPECT_EQ(second.rows, slice(expected, 20, 40));
    EXPECT_TRUE(first.messages.empty());
    EXPECT_TRUE(second.messages.empty());
    EXPECT_NE(first.block, second.block);
}

struct PageCase
{
    int32_t requested;
    int32_t served;
};

void PrintTo(const PageCase& pageCase, std::ostream* out)
{
    *out << "pn " << pageCase.requested << " serves page " << pageCase.served;
}

class ServicePageNumbers : public ServicePages, public testing::WithParamInterface<PageCase>
{
};

TEST_P(ServicePageNumbers, OutOfRangePagesAreTheNearestPage)
{
    const std::vector<Row> expected = rowsOfCounty("东城区");
    const PageCase& pageCase = GetParam();
    const std::size_t begin = static_cast<std::size_t>(pageCase.served - 1) * 20;

    const Listing requested = listPage(s_service->baseUrl(), kDongcheng, pageCase.requested);
    const Listing served = listPage(s_service->baseUrl(), kDongcheng, pageCase.served);

    EXPECT_EQ(requested.rows, slice(expected, begin, begin + 20));
    // Page-count discovery compares whole blocks, so they must be equal to the byte.
    EXPECT_EQ(requested.block, served.block);
    EXPECT_FALSE(requested.block.empty());
}

INSTANTIATE_TEST_SUITE_P(, ServicePageNumbers,
                         testing::Values(PageCase{3, 2}, PageCase{4, 2}, PageCase{1000, 2},
                                         PageCase{INT32_MAX, 2}, PageCase{0, 1}, PageCase{-1, 1},
                                         PageCase{INT32_MIN, 1}));

TEST_F(ServicePages, PageCountDiscoveryEndsAtTheLastPage)
{
    const query::PostcodeService postcodeService(s_service->baseUrl());
    const query::StopSignal stop;
    RecordingView dongcheng("北京", "北京", "东城区");
    RecordingView xicheng("北京市", "北京市", "西城区");

    EXPECT_EQ(query::discoverPageCount(dongcheng, postcodeService, stop, 50), 2);
    EXPECT_EQ(query::discoverPageCount(xicheng, postcodeService, stop, 50), 1);
    EXPECT_TRUE(dongcheng.messages().empty());
}

TEST_F(ServicePages, QueryWithoutMatchesAnswersAPageWithoutResultBlock)
{
    const Listing listing = listPage(s_service->baseUrl(), {"河北", "", ""}, 1);

    EXPECT_TRUE(listing.rows.empty());
    EXPECT_TRUE(listing.block.empty());
    EXPECT_EQ(listing.messages, std::vector<std::string>{kFailed});

    httplib::Client client("127.0.0.1", s_service->port());
    const httplib::Result page = client.Get("/postcode/s?q=&pn=1&prov=%E6%B2%B3%E5%8C%97&city=&county=");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("\r\n<div id=\"page\">"), std::string::npos);
    EXPECT_EQ(page->body.find("<span>邮编</span>"), std::string::npos);
}

TEST_F(ServicePages, MarkupInPlaceNamesIsEscapedAndBreaksNoRow)
{
    const Listing listing = listPage(s_service->baseUrl(), {"上海", "上海", "黄浦区"}, 1);

    // The client decodes no entities: it lists the escaped text as it stands.
    const std::vector<Row> expected{{"人民路&lt;/p&gt;&lt;b&gt;&amp;1号", "200001"},
                                    {"南京东路&quot;步行街&quot;", "200002"}};
    EXPECT_EQ(listing.rows, expected);

    httplib::Client client("127.0.0.1", s_service->port());
    const httplib::Result page =
        client.Get("/postcode/s?q=&pn=1&prov=%E4%B8%8A%E6%B5%B7&city=&county=%E9%BB%84%E6%B5%A6%E5%8C%BA");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body.find("人民路</p>"), std::string::npos);
    EXPECT_EQ(page->body.find("\"步行街\""), std::string::npos);
    EXPECT_NE(page->body.find(" 人民路&lt;/p&gt;&lt;b&gt;&amp;1号</p>"), std::string::npos);
}

TEST_F(ServicePages, ValuesTypedWithMarkupAreEscapedInThePage)
{
    httplib::Client client("127.0.0.1", s_service->port());
    const httplib::Result page = client.Get("/postcode/s?q=&pn=1&prov=%3Cscript%3E%22&city=%00&county=");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body.find("<script>"), std::string::npos);
    EXPECT_NE(page->body.find("&lt;script&gt;&quot;"), std::string::npos);
    // A NUL would end the page for the client, which reads texts up to the first one.
    EXPECT_EQ(page->body.find('\0'), std::string::npos);
}

struct MatchCase
{
    service::PlaceQuery query;
    std::size_t count;
};

void PrintTo(const MatchCase& matchCase, std::ostream* out)
{
    *out << "\"" << matchCase.query.province << "\" \"" << matchCase.query.city << "\" \""
         << matchCase.query.county << "\" matches " << matchCase.count;
}

class CatalogueMatch : public testing::TestWithParam<MatchCase>
{
};

TEST_P(CatalogueMatch, ValuesArePrefixesOfTheNames)
{
    service::Catalogue catalogue;
    ASSERT_TRUE(catalogue.readFile(kFixturePlaces).empty());
    const MatchCase& matchCase = GetParam();

    const std::vector<const service::Place*> matches = catalogue.match(matchCase.query);

    EXPECT_EQ(matches.size(), matchCase.count);
    for (const service::Place* place : matches) {
        EXPECT_EQ(place->province.rfind(matchCase.query.province, 0), 0u) << place->province;
        EXPECT_EQ(place->city.rfind(matchCase.query.city, 0), 0u) << place->city;
        EXPECT_EQ(place->county.rfind(matchCase.query.county, 0), 0u) << place->county;
    }
}

INSTANTIATE_TEST_SUITE_P(, CatalogueMatch,
                         testing::Values(MatchCase{{"", "", ""}, 29}, MatchCase{{"北京", "", ""}, 25},
                                         MatchCase{{"北京市", "北京市", "东城区"}, 22},
                                         MatchCase{{"北京", "北京", "东城"}, 22},
                                         MatchCase{{"北", "", "西"}, 3}, MatchCase{{"", "上海", "黄浦区"}, 2},
                                         MatchCase{{"京", "", ""}, 0}, MatchCase{{"北京市市", "", ""}, 0},
                                         MatchCase{{"", "", "城区"}, 0}, MatchCase{{"天津", "北京", ""}, 0},
                                         MatchCase{{"", "", "东城区 "}, 0}));

TEST(CatalogueRead, SkipsCommentsAndBlankLinesAndTakesCrLfLines)
{
    std::istringstream file("# a comment\n\n  \n北京市\t北京市\t东城区\t东华门街道\t100010\r\n"
                            "#\t\t\t\t\n天津市\t天津市\t和平区\t劝业场街道\t300022");
    service::Catalogue catalogue;

    EXPECT_TRUE(catalogue.read(file).empty());

    ASSERT_EQ(catalogue.places().size(), 2u);
    EXPECT_EQ(catalogue.places()[0].place, "东华门街道");
    EXPECT_EQ(catalogue.places()[0].postcode, "100010");
    EXPECT_EQ(catalogue.places()[1].county, "和平区");
    EXPECT_EQ(catalogue.places()[1].postcode, "300022");
}

struct BadLineCase
{
    const char* name;
    std::string line;
};

void PrintTo(const BadLineCase& badLine, std::ostream* out)
{
    *out << badLine.name;
}

class MalformedDataFile : public testing::TestWithParam<BadLineCase>
{
};

TEST_P(MalformedDataFile, IsRefusedWithItsLineNumber)
{
    const TempDir dir;
    const std::string path =
        dir.write("places.tsv", "# places\n北京市\t北京市\t东城区\t东华门街道\t100010\n\n" + GetParam().line +
                                    "\n天津市\t天津市\t和平区\t劝业场街道\t300022\n");
    ServiceProcess process({"--port", "0", "--data", path});

    ASSERT_EQ(process.firstLine(), "");
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(process.errorOutput().find(path + ":4:"), std::string::npos) << process.errorOutput();
}

INSTANTIATE_TEST_SUITE_P(
    , MalformedDataFile,
    testing::Values(BadLineCase{"FourFields", "北京市\t北京市\t东城区\t100010"},
                    BadLineCase{"SixFields", "北京市\t北京市\t东城区\t景山街道\t100009\t备注"},
                    BadLineCase{"SpacesForTabs", "北京市 北京市 东城区 景山街道 100009"},
                    BadLineCase{"EmptyCity", "北京市\t\t东城区\t景山街道\t100009"},
                    BadLineCase{"BlankPlace", "北京市\t北京市\t东城区\t \t100009"},
                    BadLineCase{"EmptyPostcode", "北京市\t北京市\t东城区\t景山街道\t"},
                    BadLineCase{"FiveDigits", "北京市\t北京市\t东城区\t景山街道\t10000"},
                    BadLineCase{"SevenDigits", "北京市\t北京市\t东城区\t景山街道\t1000090"},
                    BadLineCase{"LetterInPostcode", "北京市\t北京市\t东城区\t景山街道\t10000O"},
                    BadLineCase{"BlankInPostcode", "北京市\t北京市\t东城区\t景山街道\t 100009"},
                    BadLineCase{"FullWidthDigits", "北京市\t北京市\t东城区\t景山街道\t１０００９"},
                    BadLineCase{"NotUtf8", "\xB1\xB1\xBE\xA9\xCA\xD0\t北京市\t东城区\t景山街道\t100009"},
                    BadLineCase{"ControlCharacter", "北京市\t北京市\t东城区\t景山\x01街道\t100009"}),
    [](const testing::TestParamInfo<BadLineCase>& info) { return std::string(info.param.name); });

TEST(DataFileRefusal, EveryBadLineIsReported)
{
    const TempDir dir;
    const std::string path = dir.write("places.tsv", "北京市\t北京市\t东城区\t东华门街道\t100010\n"
                                                     "北京市\t北京市\t东城区\t景山街道\n"
                                                     "北京市\t北京市\t东城区\t交道口街道\t100007\n"
                                                     "北京市\t北京市\t东城区\t安定门街道\t1000\n");
    ServiceProcess process({"--port", "0", "--data", path});

    ASSERT_EQ(process.firstLine(), "");
    EXPECT_EQ(process.wait(), 2);
    const std::string errors = process.errorOutput();
    EXPECT_NE(errors.find(path + ":2:"), std::string::npos) << errors;
    EXPECT_NE(errors.find(path + ":4:"), std::string::npos) << errors;
    EXPECT_EQ(errors.find(path + ":3:"), std::string::npos) << errors;
}

TEST(DataFileRefusal, MissingFileIsRefused)
{
    const TempDir dir;
    ServiceProcess process({"--port", "0", "--data", dir.file("absent.tsv")});

    ASSERT_EQ(process.firstLine(), "");
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(process.errorOutput().find(dir.file("absent.tsv")), std::string::npos);
}

struct RequestCase
{
    const char* name;
    std::string target;
    int status;
};

void PrintTo(const RequestCase& request, std::ostream* out)
{
    *out << request.target << " -> " << request.status;
}

class ServiceRequests : public ServicePages, public testing::WithParamInterface<RequestCase>
{
};

TEST_P(ServiceRequests, AnswerWithTheRightStatus)
{
    httplib::Client client("127.0.0.1", s_service->port());
    client.set_url_encode(false);

    const httplib::Result answer = client.Get(GetParam().target.c_str());

    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, GetParam().status) << answer->body;
    const std::string contentType = answer->get_header_value("Content-Type");
    if (GetParam().status == 200)
        EXPECT_EQ(contentType, "text/html; charset=utf-8");
    else
        EXPECT_EQ(contentType.rfind("text/plain", 0), 0u) << contentType;
}

const std::string kPage = "/postcode/s?";

INSTANTIATE_TEST_SUITE_P(
    , ServiceRequests,
    testing::Values(RequestCase{"Sound", kPage + "q=&pn=1&prov=%E5%8C%97%E4%BA%AC&city=&county=", 200},
                    RequestCase{"KeysInAnyOrder", kPage + "county=&city=&prov=&pn=2&q=", 200},
                    RequestCase{"KeyWithoutEquals", kPage + "q&pn=1&prov=&city=&county=", 200},
                    RequestCase{"OtherKeysIgnored", kPage + "q=&pn=1&prov=&city=&county=&from=form", 200},
                    RequestCase{"LowerCaseHex", kPage + "q=&pn=1&prov=%e5%8c%97&city=&county=", 200},
                    RequestCase{"RepeatedKeyFirstCounts", kPage + "q=&pn=1&pn=x&prov=&city=&county=", 200},
                    RequestCase{"PlusIsBlank", kPage + "q=&pn=1&prov=a+b&city=&county=", 200},
                    RequestCase{"EncodedDigit", kPage + "q=&pn=%32&prov=&city=&county=", 200},
                    RequestCase{"MinusZero", kPage + "q=&pn=-0&prov=&city=&county=", 200},
                    RequestCase{"LeadingZeros", kPage + "q=&pn=007&prov=&city=&county=", 200},
                    RequestCase{"HugePage", kPage + "q=&pn=99999999999999999999999&prov=&city=&county=", 200},
                    RequestCase{"HugeNegativePage",
                                kPage + "q=&pn=-99999999999999999999999&prov=&city=&county=", 200},
                    RequestCase{"NoQuery", "/postcode/s", 400},
                    RequestCase{"MissingQ", kPage + "pn=1&prov=&city=&county=", 400},
                    RequestCase{"MissingPn", kPage + "q=&prov=&city=&county=", 400},
                    RequestCase{"MissingProv", kPage + "q=&pn=1&city=&county=", 400},
                    RequestCase{"MissingCity", kPage + "q=&pn=1&prov=&county=", 400},
                    RequestCase{"MissingCounty", kPage + "q=&pn=1&prov=&city=", 400},
                    RequestCase{"MisspeltKey", kPage + "q=&pn=1&province=&city=&county=", 400},
                    RequestCase{"EmptyPn", kPage + "q=&pn=&prov=&city=&county=", 400},
                    RequestCase{"WordPn", kPage + "q=&pn=one&prov=&city=&county=", 400},
                    RequestCase{"FractionPn", kPage + "q=&pn=1.5&prov=&city=&county=", 400},
                    RequestCase{"ExponentPn", kPage + "q=&pn=1e3&prov=&city=&county=", 400},
                    RequestCase{"PlusSignPn", kPage + "q=&pn=%2B1&prov=&city=&county=", 400},
                    RequestCase{"DoubleMinusPn", kPage + "q=&pn=--1&prov=&city=&county=", 400},
                    RequestCase{"LoneMinusPn", kPage + "q=&pn=-&prov=&city=&county=", 400},
                    RequestCase{"TrailingBlankPn", kPage + "q=&pn=1+&prov=&city=&county=", 400},
                    RequestCase{"PercentAtEnd", kPage + "q=&pn=1&prov=&city=&county=%", 400},
                    RequestCase{"PercentOneDigit", kPage + "q=&pn=1&prov=%4&city=&county=", 400},
                    RequestCase{"PercentNotHex", kPage + "q=&pn=1&prov=%G1&city=&county=", 400},
                    RequestCase{"PercentPercent", kPage + "q=&pn=1&prov=&city=%%41&county=", 400},
                    RequestCase{"BadPercentInKey", kPage + "q=&pn=1&prov=&city=&county=&%zz=1", 400},
                    RequestCase{"NotUtf8Byte", kPage + "q=&pn=1&prov=%FF&city=&county=", 400},
                    RequestCase{"GbkBytes", kPage + "q=&pn=1&prov=%B1%B1%BE%A9&city=&county=", 400},
                    RequestCase{"CutCharacter", kPage + "q=&pn=1&prov=%E5%8C&city=&county=", 400},
                    RequestCase{"OverlongForm", kPage + "q=&pn=1&prov=&city=%C0%AF&county=", 400},
                    RequestCase{"Surrogate", kPage + "q=&pn=1&prov=&city=&county=%ED%A0%80", 400},
                    RequestCase{"PastUnicode", kPage + "q=&pn=1&prov=&city=&county=%F4%90%80%80", 400},
                    RequestCase{"NotUtf8InQ", kPage + "q=%80&pn=1&prov=&city=&county=", 400},
                    RequestCase{"OtherPath", "/postcode/t?q=&pn=1&prov=&city=&county=", 404},
                    RequestCase{"LongerPath", "/postcode/s/1?q=&pn=1&prov=&city=&county=", 404},
                    RequestCase{"Root", "/", 404}),
    [](const testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

TEST(ServiceExecutable, ServesTheShippedDataByDefault)
{
    service::Catalogue shipped;
    ASSERT_TRUE(shipped.readFile(SHIPPED_DATA_FILE).empty());
    std::vector<Row> expected;
    for (const service::Place* place : shipped.match({"北京", "北京", "东城区"}))
        expected.emplace_back(place->place, place->postcode);
    ServiceProcess process({"--port", "0"});
    const std::string baseUrl = process.baseUrl();
    ASSERT_FALSE(baseUrl.empty());

    const Listing listing = listPage(baseUrl, kDongcheng, 1);

    EXPECT_EQ(listing.rows, slice(expected, 0, 20));
    EXPECT_EQ(listing.rows.size(), 20u);
}

TEST(ServiceExecutable, LogsEachPageRequestOnOneLine)
{
    const TempDir dir;
    const std::string logFile = dir.file("requests.log");
    ServiceProcess process({"--port", "0", "--data", kFixturePlaces, "--log", logFile});
    const std::string baseUrl = process.baseUrl();
    ASSERT_FALSE(baseUrl.empty());

    listPage(baseUrl, kDongcheng, 2);
    httplib::Client client(baseUrl);
    ASSERT_TRUE(client.Get("/postcode/s?q=&pn=-7&prov=a%09b&city=%0A&county=%5C"));
    ASSERT_TRUE(client.Get("/postcode/s?q=&pn=x&prov=&city=&county="));

    std::istringstream log(readAll(logFile));
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(log, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        lines.push_back(fields);
    }
    ASSERT_EQ(lines.size(), 2u);
    const std::regex isoTime("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]{3})?Z");
    ASSERT_EQ(lines[0].size(), 5u);
    EXPECT_TRUE(std::regex_match(lines[0][0], isoTime)) << lines[0][0];
    EXPECT_EQ(std::vector<std::string>(lines[0].begin() + 1, lines[0].end()),
              (std::vector<std::string>{"2", "北京", "北京", "东城区"}));
    ASSERT_EQ(lines[1].size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines[1].begin() + 1, lines[1].end()),
              (std::vector<std::string>{"-7", "a\\tb", "\\n", "\\\\"}));
}

TEST(ShippedData, HasTheQueriesTheDemonstrationNeeds)
{
    service::Catalogue shipped;
    const std::vector<service::LineError> errors = shipped.readFile(SHIPPED_DATA_FILE);
    ASSERT_TRUE(errors.empty()) << errors.front().line << ": " << errors.front().reason;

    EXPECT_GE(service::pageCount(shipped.match({"北京", "北京", "东城区"}).size()), 3);
    EXPECT_GE(service::pageCount(shipped.match({"广东", "", ""}).size()), 10);
    const std::size_t onePage = shipped.match({"上海", "上海", "黄浦区"}).size();
    EXPECT_GT(onePage, 0u);
    EXPECT_LE(onePage, 20u);
}

} // namespace
