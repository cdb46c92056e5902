#include "platform/retry.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "ddc/errors.hpp"
#include "ddcci/errors.hpp"

namespace lumra::platform {
namespace {

using namespace std::chrono_literals;
using support::Error;

TEST(RetryExchangeTest, AttemptsAndResults) {
  const Error busy = ClassifyIOKitStatus(0xE00002D5);
  const Error noDevice = ClassifyIOKitStatus(0xE00002C0);
  const Error denied = Error::FromErrno(EACCES);
  const struct {
    const char* name;
    std::vector<Error> failures;  // then success
    int wantCalls;
    const char* want;
    const Error* same;  // the result must be this very error
  } cases[] = {
      {"first attempt succeeds", {}, 1, "", nullptr},
      {"busy twice then success", {busy, busy}, 3, "", nullptr},
      {"unknown status is retried", {ClassifyIOKitStatus(0xE00002C2)}, 2, "", nullptr},
      {"three checksum failures",
       {ddcci::kErrChecksum, ddcci::kErrChecksum, ddcci::kErrChecksum},
       3,
       "DDC/CI failed after 3 attempts: DDC/CI checksum mismatch",
       nullptr},
      {"the last error is wrapped",
       {busy, ddcci::kErrChecksum, busy},
       3,
       "DDC/CI failed after 3 attempts: monitor transport is busy: IOKit DDC/CI transaction "
       "failed: 0xE00002D5",
       nullptr},
      {"not found is not retried",
       {noDevice},
       1,
       "monitor not found: IOKit DDC/CI transaction failed: 0xE00002C0",
       &noDevice},
      {"unsupported code is not retried",
       {busy, ddcci::kErrUnsupportedVCP},
       2,
       "DDC/CI VCP feature is unsupported",
       &ddcci::kErrUnsupportedVCP},
      {"permission is not retried", {denied}, 1, "permission denied", &denied},
  };
  for (const auto& c : cases) {
    int calls = 0;
    const Error got = RetryExchange(
        support::Context(),
        [&] {
          const std::size_t attempt = std::size_t(calls++);
          return attempt < c.failures.size() ? c.failures[attempt] : Error();
        },
        0ms);
    EXPECT_EQ(calls, c.wantCalls) << c.name;
    EXPECT_EQ(got.Message(), c.want) << c.name;
    if (c.same != nullptr) {
      EXPECT_TRUE(got.SameAs(*c.same)) << c.name;
    } else if (got) {
      EXPECT_TRUE(support::Is(got, c.failures.back())) << c.name;
    }
  }
}

TEST(RetryExchangeTest, ContextEndsTheLoop) {
  auto cancellable = support::Context::WithCancel(support::Context());
  support::CancelHandle& cancel = cancellable.second;
  int calls = 0;
  std::thread canceller;
  Error got = RetryExchange(
      cancellable.first,
      [&] {
        if (++calls == 1) {
          canceller = std::thread([&cancel] {
            std::this_thread::sleep_for(20ms);
            cancel.Cancel();
          });
        }
        return ddcci::kErrChecksum;
      },
      10s);
  canceller.join();
  EXPECT_EQ(calls, 1) << "cancelled during the first pause";
  EXPECT_TRUE(got.SameAs(support::ErrCanceled()));

  got = RetryExchange(cancellable.first, [&] {
    ++calls;
    return Error();
  });
  EXPECT_EQ(calls, 1) << "an ended context runs no attempt";
  EXPECT_TRUE(got.SameAs(support::ErrCanceled()));

  // An attempt running when the deadline passes is not interrupted, and the third one's
  // failure still reports exhaustion.
  auto [timed, handle] = support::Context::WithTimeout(support::Context(), 30ms);
  calls = 0;
  got = RetryExchange(
      timed,
      [&] {
        if (++calls == 3) std::this_thread::sleep_for(60ms);
        return ddcci::kErrChecksum;
      },
      0ms);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(got.Message(), "DDC/CI failed after 3 attempts: DDC/CI checksum mismatch");
}

// Without an explicit pause the attempts are 40 ms apart.
TEST(RetryExchangeTest, DefaultPauseIsFortyMilliseconds) {
  std::vector<support::Clock::time_point> starts;
  const Error got = RetryExchange(support::Context(), [&] {
    starts.push_back(support::Clock::now());
    return ddcci::kErrChecksum;
  });
  ASSERT_TRUE(got);
  ASSERT_EQ(starts.size(), 3u);
  for (std::size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], 40ms);
    EXPECT_LT(starts[i] - starts[i - 1], 200ms);
  }
}

TEST(ExchangeErrorTest, MessagesAndCategories) {
  const std::vector<std::uint8_t> getVCP = {0x51, 0x82, 0x01, 0x10, 0xAC};
  const struct {
    std::uint32_t status;
    const char* stage;
    std::uint32_t writeCycle;
    std::uint32_t chip;
    std::vector<std::uint8_t> request;
    const char* want;
    const char* category;
  } cases[] = {
      {0xE00002D5, "IOFramebuffer", 0, 0x37, getVCP,
       "monitor transport is busy: IOKit DDC/CI transaction failed: 0xE00002D5 "
       "(stage=IOFramebuffer, write_cycle=0, chip=0x37, command=0x01)",
       "busy"},
      {0xE00002C1,
       "",
       2,
       0x07,
       {0x51, 0x83, 0xF3, 0x00, 0x00, 0x4F},
       "permission denied: IOKit DDC/CI transaction failed: 0xE00002C1 "
       "(stage=, write_cycle=2, chip=0x07, command=0xF3)",
       "permission"},
      {0xE00002E2,
       "x",
       0,
       0xB7,
       {0x51, 0x80},
       "permission denied: IOKit DDC/CI transaction failed: 0xE00002E2 "
       "(stage=x, write_cycle=0, chip=0xB7, command=0x00)",
       "permission"},
      {0xE00002E6,
       "IOFramebuffer",
       0,
       0x37,
       {0x51, 0x84, 0x03, 0x10, 0x00, 0x32, 0x00},
       "operation is not supported: IOKit DDC/CI transaction failed: 0xE00002E6 "
       "(stage=IOFramebuffer, write_cycle=0, chip=0x37, command=0x03)",
       "unsupported"},
      {0xE00002C2,
       "validate-ioav-request",
       0,
       0x37,
       {},
       "IOKit DDC/CI transaction failed: 0xE00002C2 "
       "(stage=validate-ioav-request, write_cycle=0, chip=0x37, command=0x00)",
       "transport"},
  };
  for (const auto& c : cases) {
    const Error got = ExchangeError(c.status, c.stage, c.writeCycle, c.chip, c.request);
    EXPECT_EQ(got.Message(), c.want);
    EXPECT_EQ(ddc::ClassifyError(got), c.category) << c.want;
  }
  EXPECT_TRUE(support::Is(ClassifyIOKitStatus(0xE00002C1), support::ErrPermission()));
  EXPECT_TRUE(support::Is(ClassifyIOKitStatus(0xE00002C7), ddc::kErrNotSupported));
  EXPECT_TRUE(support::Is(ClassifyIOKitStatus(0xE00002C0), ddc::kErrMonitorNotFound));
}

}  // namespace
}  // namespace lumra::platform
