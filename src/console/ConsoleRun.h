#pragma once
// One command-line request, from the catalog to the exit status: "--list", "--check" or
// "--update", through the same flows as the window (the catalog fetched and verified, the
// products scanned, installs downloaded, verified and put in behind one administrator prompt) and
// under the same administrator's policy. Main thread only; it ends by calling `done` once.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Policy.h"
#include "catalog/CatalogFlow.h"
#include "console/ProductStatus.h"
#include "install/InstallFlow.h"
#include "platform/Terminal.h"

namespace suite::console {

// How the command ends, for scripts (the usage and the manual page list them).
enum ExitStatus : int {
    kDone = 0,            // listed; updates are available (--check); everything asked installed
    kFailed = 1,          // no catalog, or something asked for was not installed
    kUsage = 2,           // a line that is not understood, or a product the catalog lacks
    kNothingToDo = 3,     // no update is available (--check), or nothing is left to install
    kRefusedByPolicy = 4  // a product asked for is one the administrator's policy keeps out
};

struct ConsoleSettings {
    CommandLine line;
    bool arabic = false;
    std::vector<std::string> catalogUrls;
    DownloadRules rules;
    std::optional<Policy> policy;
    // Told every install event, for the window of a program running beside the run; none: alone.
    std::function<void(const Json&)> shareWithWindow = {};
};

struct ConsoleFlows {
    CatalogSettings catalog;
    InstallSettings install;
    CatalogServices catalogServices;
    InstallServices installServices;
    InstallFlow::Prompt prompt;
};

class ConsoleRun {
  public:
    ConsoleRun(ConsoleSettings settings, ConsoleFlows flows, Terminal& terminal,
               std::function<void(int status)> done);
    void start();

  private:
    void catalogAnswered(const Json& event);
    void scanned(const Json& event);
    void update(const std::vector<ProductStatus>& statuses);
    void installEvent(const Json& event);
    void finish(int status);

    ConsoleSettings settings_;
    Terminal& terminal_;
    std::function<void(int)> done_;
    PackageSystem& packages_;
    CatalogFlow catalog_;
    InstallFlow install_;
    std::vector<CatalogProduct> products_;
    // The install's products without a result yet, by id: the name the terminal shows and the
    // step it last printed as a line.
    struct Waiting {
        std::string name, shownPhase;
    };
    std::map<std::string, Waiting> waiting_;
    bool failed_ = false;
    bool finished_ = false;
};

}  // namespace suite::console
