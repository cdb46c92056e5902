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
      {&ErrMonitorNotFound, "not-found-or-hotplug"},
      {&ErrNotSupported, "unsupported"},
      {&ddcci::ErrUnsupportedVCP, "unsupported"},
      {&ErrBusy, "busy"},
      {&ErrBackendUnavailable, "backend-unavailable"},
      {&ErrProtocol, "protocol"},
      {&ddcci::ErrChecksum, "protocol"},
      {&ddcci::ErrMalformedSource, "protocol"},
      {&ddcci::ErrInvalidProtocolFlag, "protocol"},
      {&ddcci::ErrInvalidLength, "protocol"},
      {&ddcci::ErrNullReply, "protocol"},
      {&ddcci::ErrUnexpectedOpcode, "protocol"},
      {&ddcci::ErrVCPCodeMismatch, "protocol"},
      {&ddcci::ErrOffsetMismatch, "protocol"},
      {&ddcci::ErrUnexpectedResult, "protocol"},
      {&ErrInvalidFeature, "invalid-argument"},
      {&support::ErrPermission(), "permission"},
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
      {"busy then protocol", Errorf("%w: %w", ErrBusy, ErrProtocol), "busy"},
      {"protocol then busy", Errorf("%w: %w", ErrProtocol, ErrBusy), "busy"},
      {"second branch holds busy",
       Errorf("%w; %w", Errorf("plain: %s", "x"), Errorf("retry: %w", ErrBusy)), "busy"},
      {"deadline over busy",
       Errorf("%w: %w", Errorf("attempt: %w", ErrBusy), support::ErrDeadlineExceeded()),
       "timeout"},
      {"cancel over frame error",
       Errorf("%w (%w)", ddcci::ErrChecksum, support::ErrCanceled()), "timeout"},
      {"not found over unsupported",
       Errorf("%w / %w", ddcci::ErrUnsupportedVCP, ErrMonitorNotFound), "not-found-or-hotplug"},
      {"unsupported VCP over frame error",
       Errorf("%w / %w", ddcci::ErrNullReply, ddcci::ErrUnsupportedVCP), "unsupported"},
      {"backend over protocol",
       Errorf("%w / %w", ErrProtocol, ErrBackendUnavailable), "backend-unavailable"},
      {"frame error over invalid feature",
       Errorf("%w / %w", ErrInvalidFeature, ddcci::ErrOffsetMismatch), "protocol"},
      {"invalid feature over permission",
       Errorf("%w / %w", Error::FromErrno(EACCES), ErrInvalidFeature), "invalid-argument"},
      {"deep permission",
       Errorf("lock DDC endpoint: %w", Errorf("open: %w", Error::FromErrno(EPERM))),
       "permission"},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyError(c.err), c.want) << c.name;
}

TEST(ClassifyErrorTest, IdentityNotMessageDecides) {
  const Error lookalike = Error::New(ErrBusy.Message());
  EXPECT_EQ(ClassifyError(lookalike), "transport");
  EXPECT_EQ(ClassifyError(Error::New("context deadline exceeded")), "transport");
  EXPECT_EQ(ClassifyError(Error::New("permission denied")), "transport");
  EXPECT_EQ(ClassifyError(Error::Wrapping("monitor not found: 7", {})), "transport");

  const Error notFound = Errorf("%w: %s", ErrMonitorNotFound, "7");
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
    EXPECT_EQ(ClassifyError(Errorf("%w: %w", ErrBusy, ctx.Err())), "timeout");
  }
}

}  // namespace
}  // namespace lumra::ddc
