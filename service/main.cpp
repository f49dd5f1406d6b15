// postcode-service: the stand-in postcode service on 127.0.0.1, serving result pages from a TSV file.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "catalogue.h"
#include "request_log.h"
#include "stand_in_server.h"

namespace {

constexpr int kDefaultPort = 8138;
constexpr int kExitCannotListen = 1;
constexpr int kExitBadStart = 2;

// The demonstration data: installed, beside the program's folder; in the build tree, in the sources.
std::string defaultDataFile()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path installed = program.parent_path() / DATA_FILE_FROM_PROGRAM;
        if (std::filesystem::is_regular_file(installed, error))
            return installed.lexically_normal().string();
    }
    return SHIPPED_DATA_FILE;
}

struct Options
{
    int port = kDefaultPort;
    std::string dataFile = defaultDataFile();
    std::string logFile;
};

void printUsage(std::ostream& out)
{
    out << "usage: postcode-service [--port N] [--data FILE] [--log FILE]\n"
           "  --port N     port on 127.0.0.1 (default "
        << kDefaultPort
        << "; 0 picks a free one)\n"
           "  --data FILE  places to serve (default "
        << defaultDataFile()
        << ")\n"
           "  --log FILE   append one line per page request\n";
}

bool parsePort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(text);
    return port <= 65535;
}

// False with a message on stderr when the command line is not understood.
bool parseOptions(int argc, char** argv, Options& options, bool& helpOnly)
{
    helpOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            helpOnly = true;
            return true;
        }
        if (option != "--port" && option != "--data" && option != "--log") {
            std::cerr << "postcode-service: unknown option " << option << "\n";
            return false;
        }
        if (i + 1 >= argc) {
            std::cerr << "postcode-service: " << option << " needs a value\n";
            return false;
        }
        const std::string value = argv[++i];
        if (option == "--port" && !parsePort(value, options.port)) {
            std::cerr << "postcode-service: bad port " << value << "\n";
            return false;
        }
        if (option == "--data")
            options.dataFile = value;
        if (option == "--log")
            options.logFile = value;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    bool helpOnly = false;
    if (!parseOptions(argc, argv, options, helpOnly)) {
        printUsage(std::cerr);
        return kExitBadStart;
    }
    if (helpOnly) {
        printUsage(std::cout);
        return EXIT_SUCCESS;
    }

    service::Catalogue catalogue;
    const std::vector<service::LineError> errors = catalogue.readFile(options.dataFile);
    if (!errors.empty()) {
        for (const service::LineError& error : errors) {
            std::cerr << options.dataFile;
            if (error.line > 0)
                std::cerr << ":" << error.line;
            std::cerr << ": " << error.reason << "\n";
        }
        std::cerr << "postcode-service: refusing to start, the data file is not sound\n";
        return kExitBadStart;
    }

    std::unique_ptr<service::RequestLog> log;
    if (!options.logFile.empty()) {
        log = std::make_unique<service::RequestLog>(options.logFile);
        if (!log->isOpen()) {
            std::cerr << "postcode-service: cannot open the log file " << options.logFile << "\n";
            return kExitBadStart;
        }
    }

    // A client that hangs up mid-answer must not end the service.
    std::signal(SIGPIPE, SIG_IGN);

    service::StandInServer server(catalogue, log.get());
    const int port = server.listen(options.port);
    if (port < 0) {
        std::cerr << "postcode-service: cannot listen on 127.0.0.1:" << options.port << "\n";
        return kExitCannotListen;
    }
    std::cout << "listening on http://127.0.0.1:" << port << std::endl;
    return server.serve() ? EXIT_SUCCESS : kExitCannotListen;
}
