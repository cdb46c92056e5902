#include <gtest/gtest.h>

#include <sstream>

#include "cli/entry.hpp"
#include "cli/fake_transport.hpp"
#include "ddc/errors.hpp"

namespace lumra::testing {
namespace {

struct EntryOutcome {
  int status;
  std::string out;
  std::string err;
};

EntryOutcome runAndClose(FakeTransport& transport, const std::vector<std::string>& words) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = cli::RunAndClose(words, out, err, transport,
                                      [](const std::string&) { return std::string(); });
  return {status, out.str(), err.str()};
}

TEST(RunAndClose, ClosesOnEveryPath) {
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{}, {"list"}, {"bogus"}, {"get", "9", "brightness"}}) {
    FakeTransport transport;
    runAndClose(transport, words);
    ASSERT_FALSE(transport.calls.empty());
    EXPECT_EQ(transport.calls.back(), "Close");
  }
}

TEST(RunAndClose, FailedCloseIsReportedAfterTheResult) {
  FakeTransport transport;
  transport.monitors = sampleMonitors();
  transport.closeError = support::Errorf("%w: still open", ddc::kErrBusy);
  const EntryOutcome listed = runAndClose(transport, {"list"});
  EXPECT_EQ(listed.status, 1);
  EXPECT_NE(listed.out.find("Acme View 27"), std::string::npos);
  EXPECT_EQ(listed.err,
            "close backend failed / 关闭后端失败: monitor transport is busy: still open\n");

  const EntryOutcome usage = runAndClose(transport, {"list", "--", "--json", "x"});
  EXPECT_EQ(usage.status, 2);  // a usage failure keeps its status
  EXPECT_EQ(usage.err,
            "invalid arguments for list\n"
            "{\"category\":\"busy\",\"error\":\"close backend failed / 关闭后端失败: monitor "
            "transport is busy: still open\",\"kind\":\"runtime\"}\n");
}

TEST(RunAndClose, SuccessfulCloseLeavesTheStatus) {
  FakeTransport transport;
  EXPECT_EQ(runAndClose(transport, {"features"}).status, 0);
  EXPECT_EQ(runAndClose(transport, {"nonsense"}).status, 2);
}

}  // namespace
}  // namespace lumra::testing
