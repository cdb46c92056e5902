#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "ddc/errors.hpp"
#include "ddcci/errors.hpp"
#include "support/context.hpp"
#include "support/format.hpp"

namespace lumra::ddc {
namespace {

using support::Error;
using support::Errorf;

TEST(ClassifyErrorTest, EachSentinelAloneAndWrapped) {
  const struct {
    const Error* sentinel;
    const char* want;
  } cases[] = {
      {&support::ErrDeadlineExceeded(), "timeout"},
      {&support::ErrCanceled(), "timeout"},
      {&kErrMonitorNotFound, "not-found-or-hotplug"},
      {&kErrNotSupported, "unsupported"},
      {&ddcci::kErrUnsupportedVCP, "unsupported"},
      {&kErrBusy, "busy"},
      {&kErrBackendUnavailable, "backend-unavailable"},
      {&kErrProtocol, "protocol"},
      {&ddcci::kErrChecksum, "protocol"},
      {&ddcci::kErrMalformedSource, "protocol"},
      {&ddcci::kErrInvalidProtocolFlag, "protocol"},
      {&ddcci::kErrInvalidLength, "protocol"},
      {&ddcci::kErrNullReply, "protocol"},
      {&ddcci::kErrUnexpectedOpcode, "protocol"},
      {&ddcci::kErrVCPCodeMismatch, "protocol"},
      {&ddcci::kErrOffsetMismatch, "protocol"},
      {&ddcci::kErrUnexpectedResult, "protocol"},
      {&kErrInvalidFeature, "invalid-argument"},
      {&support::ErrPermission(), "permission"},
      {&kErrNotApplied, "not-applied"},
  };
  for (const auto& c : cases) {
    const std::string& name = c.sentinel->Message();
    EXPECT_EQ(ClassifyError(*c.sentinel), c.want) << name;
    const Error once = Errorf("%w: detail", *c.sentinel);
    const Error twice = Errorf("outer: %w", once);
    EXPECT_EQ(ClassifyError(twice), c.want) << name;
  }
}

TEST(ClassifyErrorTest, EarliestStepWinsWhateverTheWrapOrder) {
  const struct {
    const char* name;
    Error err;
    const char* want;
  } cases[] = {
      {"busy then protocol", Errorf("%w: %w", kErrBusy, kErrProtocol), "busy"},
      {"protocol then busy", Errorf("%w: %w", kErrProtocol, kErrBusy), "busy"},
      {"second branch holds busy",
       Errorf("%w; %w", Errorf("plain: %s", "x"), Errorf("retry: %w", kErrBusy)), "busy"},
      {"deadline over busy",
       Errorf("%w: %w", Errorf("attempt: %w", kErrBusy), support::ErrDeadlineExceeded()),
       "timeout"},
      {"cancel over frame error", Errorf("%w (%w)", ddcci::kErrChecksum, support::ErrCanceled()),
       "timeout"},
      {"not found over unsupported",
       Errorf("%w / %w", ddcci::kErrUnsupportedVCP, kErrMonitorNotFound), "not-found-or-hotplug"},
      {"unsupported VCP over frame error",
       Errorf("%w / %w", ddcci::kErrNullReply, ddcci::kErrUnsupportedVCP), "unsupported"},
      {"backend over protocol", Errorf("%w / %w", kErrProtocol, kErrBackendUnavailable),
       "backend-unavailable"},
      {"frame error over invalid feature",
       Errorf("%w / %w", kErrInvalidFeature, ddcci::kErrOffsetMismatch), "protocol"},
      {"invalid feature over permission",
       Errorf("%w / %w", Error::FromErrno(EACCES), kErrInvalidFeature), "invalid-argument"},
      {"deep permission",
       Errorf("lock DDC endpoint: %w", Errorf("open: %w", Error::FromErrno(EPERM))), "permission"},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyError(c.err), c.want) << c.name;
}

TEST(ClassifyErrorTest, IdentityNotMessageDecides) {
  const Error lookalike = Error::New(kErrBusy.Message());
  EXPECT_EQ(ClassifyError(lookalike), "transport");
  EXPECT_EQ(ClassifyError(Error::New("context deadline exceeded")), "transport");
  EXPECT_EQ(ClassifyError(Error::New("permission denied")), "transport");
  EXPECT_EQ(ClassifyError(Error::Wrapping("monitor not found: 7", {})), "transport");

  const Error notFound = Errorf("%w: %s", kErrMonitorNotFound, "7");
  EXPECT_EQ(notFound.Message(), "monitor not found: 7");
  EXPECT_EQ(ClassifyError(notFound), "not-found-or-hotplug");
}

TEST(ClassifyErrorTest, OperatingSystemErrors) {
  const struct {
    int errnum;
    const char* want;
  } cases[] = {
      {EACCES, "permission"},
      {EPERM, "permission"},
      {ENOENT, "transport"},
      {EIO, "transport"},
  };
  for (const auto& c : cases) {
    const Error err = Error::FromErrno(c.errnum);
    EXPECT_EQ(ClassifyError(err), c.want) << c.errnum;
    EXPECT_EQ(ClassifyError(Errorf("lock DDC endpoint: %w", err)), c.want) << c.errnum;
  }
}

TEST(ClassifyErrorTest, ErrorsOfARealContext) {
  {
    auto [ctx, cancel] = support::Context::WithCancel(support::Context());
    cancel.Cancel();
    EXPECT_EQ(ClassifyError(ctx.Err()), "timeout");
  }
  {
    auto [ctx, cancel] = support::Context::WithTimeout(support::Context(), support::Duration(0));
    ASSERT_TRUE(ctx.Err());
    EXPECT_EQ(ClassifyError(Errorf("%w: %w", kErrBusy, ctx.Err())), "timeout");
  }
}

}  // namespace
}  // namespace lumra::ddc
