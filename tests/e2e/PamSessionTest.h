#pragma once
// The base of the session module's end-to-end tests: pamtester opens and closes sessions of
// throwaway accounts through PAM services of the test's own, with the module given by its
// built path, a throwaway group as the journal's group, a folder under /run whose path only
// root can change, and a private system log that collects what the module and the journal
// say. Needs root and pamtester (scripts/deps installs it); fails, never skips, without them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/e2e/SystemFixtures.h"

#if !defined(PAM_MODULE_PATH)
#error "PAM_MODULE_PATH names the built module"
#endif

namespace lumo::e2e {

class PamSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "runs as root: it adds accounts, a group and a PAM service";
    ASSERT_EQ(RunCommand("command -v pamtester").status, 0) << "pamtester is missing; scripts/deps installs it";
    ASSERT_FALSE(folder_.Path().empty());
    ASSERT_TRUE(group_.Created());
    ASSERT_TRUE(log_.Ready());
    records_ = folder_.Path() / "records";
    fs::create_directory(records_);
    chmod(records_.c_str(), 0777);  // journals write here as the user
  }

  std::string ModuleLine(const fs::path& journal, const std::string& options = "") const {
    // "required", so that a module answering anything but success would fail the session.
    return "session required " PAM_MODULE_PATH " journal=" + journal.string() + " group=" + group_.Name() +
           (options.empty() ? "" : " " + options) + "\n";
  }

  std::string ServiceName() const {
    static int serial = 0;
    return "lumo-pam-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  }
  std::string AccountName(const std::string& suffix) const { return "lumopam" + std::to_string(getpid()) + suffix; }
  static std::string PermitAll() { return "auth required pam_permit.so\naccount required pam_permit.so\n"; }

  // pamtester with the private system log; the log lines it produced go to `log`.
  CommandResult Pamtester(const ScopedPamService& service, const std::string& user, const std::string& operations,
                          std::string* log = nullptr) {
    CommandResult result = RunCommand(log_.Wrap(PamtesterCommand(service, user, operations)));
    const std::string lines = log_.Take();
    if (log != nullptr) *log = lines;
    return result;
  }
  static std::string PamtesterCommand(const ScopedPamService& service, const std::string& user,
                                      const std::string& operations) {
    return "pamtester " + service.Name() + " " + Quote(user) + " " + operations;
  }

  TrustedFolder folder_;
  ScopedGroup group_{"lumoj" + std::to_string(getpid())};
  PrivateLog log_{folder_.Path()};
  fs::path records_;
};

}  // namespace lumo::e2e
