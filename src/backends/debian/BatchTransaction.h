#pragma once
// The install helper's second half: the verified copies of one batch installed as one
// transaction, so that packages of the batch may depend on each other in any order.
//
// apt-get plans it (a simulation): what the batch needs from the configured repositories, and
// whether anything installed would have to go. A batch that cannot go through as a whole is
// tried package by package, each after the batch packages it depends on, so that what can be
// installed is, and what cannot gets its reason. apt-get then installs what the batch needs from
// the repositories (never removing anything), and dpkg installs the verified copies themselves:
// apt-get, given a package file, may fetch a repository's copy of the same version instead,
// which root never checked. dpkg's frontend lock is held throughout, so no other package tool
// changes the system between the plan and the install.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "backends/debian/AptOutput.h"
#include "backends/debian/InstallHelper.h"
#include "platform/PackageSystem.h"
#include "platform/Process.h"

namespace suite::debian {

// Where the helper's records go, one flushed line each.
class Records {
  public:
    explicit Records(std::FILE* out) : out_(out) {}
    void line(const std::string& record);
    // What installing package `index` printed, relayed line by line.
    void relay(std::size_t index, std::string_view text);
    void fail(std::size_t index, const FailureReason& reason);

  private:
    std::FILE* out_;
};

// A verified copy, ready for the transaction.
struct BatchMember {
    std::size_t index = 0;  // in the batch
    std::string copy;       // root's verified copy, named *.deb
    DebControl control;
};

// Installs `members` and prints a result record for each.
void installTransaction(const std::vector<BatchMember>& members, Records& records,
                        const HelperTools& tools);

// A clean, fixed setting for the package tools whatever called us: nobody is there to answer a
// question, and the log reads the same on every machine.
ProcessOptions toolOptions(double timeoutSeconds);

}  // namespace suite::debian
