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
#include <vector>

#include "backends/debian/DebianHelper.h"

namespace suite::debian {

// Installs `members` and prints a result record for each.
void installTransaction(const std::vector<privileged::BatchMember>& members,
                        privileged::Records& records, const DebianTools& tools,
                        const privileged::HelperSettings& settings);

}  // namespace suite::debian
