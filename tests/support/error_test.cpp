#include "support/error.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/format.hpp"

namespace lumra::support {
namespace {

TEST(Error, DefaultIsSuccess) {
  const Error ok;
  EXPECT_FALSE(ok);
  EXPECT_EQ(ok.Message(), "");
  EXPECT_TRUE(ok.Wrapped().empty());
  EXPECT_EQ(ok.Errno(), 0);
  EXPECT_FALSE(Is(ok, Error::New("x")));
}

TEST(Error, IdentityIsSharedByCopiesButNotByEqualMessages) {
  const Error sentinel = Error::New("device busy");
  const Error copy = sentinel;
  const Error twin = Error::New("device busy");
  EXPECT_TRUE(copy.SameAs(sentinel));
  EXPECT_TRUE(Is(copy, sentinel));
  EXPECT_FALSE(twin.SameAs(sentinel));
  EXPECT_FALSE(Is(twin, sentinel));
  EXPECT_FALSE(Is(Errorf("%w", twin), sentinel));
}

TEST(Error, IsSearchesEveryBranchOfTheWrapTree) {
  const Error a = Error::New("a");
  const Error b = Error::New("b");
  const Error c = Error::New("c");
  const Error d = Error::New("d");
  const Error unrelated = Error::New("a");
  // root wraps [left, right]; left wraps [a, b]; right wraps [inner]; inner wraps [c, d].
  const Error left = Error::Wrapping("a; b", {a, b});
  const Error inner = Error::Wrapping("c; d", {c, d});
  const Error right = Error::Wrapping("inner: c; d", {inner});
  const Error root = Error::Wrapping("left | right", {left, right});
  for (const Error* target : {&root, &left, &right, &inner, &a, &b, &c, &d}) {
    EXPECT_TRUE(Is(root, *target)) << target->Message();
  }
  EXPECT_FALSE(Is(root, unrelated));
  EXPECT_FALSE(Is(left, c));
  EXPECT_FALSE(Is(a, root));
}

TEST(Errorf, PercentWInsertsTheMessageAndRecordsTheWrappedError) {
  const Error base = Error::New("resource busy");
  const Error err = Errorf("lock DDC endpoint: %w", base);
  EXPECT_EQ(err.Message(), "lock DDC endpoint: resource busy");
  ASSERT_EQ(err.Wrapped().size(), 1u);
  EXPECT_TRUE(err.Wrapped()[0].SameAs(base));
  EXPECT_TRUE(Is(err, base));
  EXPECT_TRUE(Is(Errorf("outer: %w", err), base));
}

TEST(Errorf, TwoPercentWWrapBothInOrder) {
  const Error first = Error::New("null reply");
  const Error second = Error::New("timed out");
  const Error err = Errorf("%w: %w", first, second);
  EXPECT_EQ(err.Message(), "null reply: timed out");
  ASSERT_EQ(err.Wrapped().size(), 2u);
  EXPECT_TRUE(err.Wrapped()[0].SameAs(first));
  EXPECT_TRUE(err.Wrapped()[1].SameAs(second));
  EXPECT_TRUE(Is(err, first));
  EXPECT_TRUE(Is(err, second));
}

TEST(Errorf, OtherVerbsShowTheMessageWithoutWrapping) {
  const Error base = Error::New("bad checksum");
  const Error err = Errorf("%w: got 0x%02X, want 0x%02X (%s)", base, 0x5u, 0xAB, base);
  EXPECT_EQ(err.Message(), "bad checksum: got 0x05, want 0xAB (bad checksum)");
  EXPECT_EQ(err.Wrapped().size(), 1u);
  const Error plain = Errorf("context: %v", base);
  EXPECT_EQ(plain.Message(), "context: bad checksum");
  EXPECT_FALSE(Is(plain, base));
  EXPECT_TRUE(Errorf("no verbs"));
}

TEST(ErrnoErrors, PermissionMatchingAndMessages) {
  struct Case {
    int errnum;
    const char* message;
    bool permission;
  };
  const Case cases[] = {
      {EACCES, "permission denied", true},
      {EPERM, "operation not permitted", true},
      {ENOENT, "no such file or directory", false},
  };
  for (const Case& c : cases) {
    const Error err = Error::FromErrno(c.errnum);
    EXPECT_EQ(err.Message(), c.message);
    EXPECT_EQ(err.Errno(), c.errnum);
    EXPECT_EQ(IsPermission(err), c.permission) << c.message;
    EXPECT_EQ(IsPermission(Errorf("open lock file: %w", err)), c.permission) << c.message;
    EXPECT_EQ(ErrnoText(c.errnum), c.message);
  }
}

TEST(ErrnoErrors, GenericPermissionSentinelMatchesByIdentityOnly) {
  EXPECT_EQ(ErrPermission().Message(), "permission denied");
  EXPECT_TRUE(ErrPermission().SameAs(ErrPermission()));
  EXPECT_TRUE(IsPermission(ErrPermission()));
  EXPECT_TRUE(IsPermission(Errorf("a: %w", Errorf("b: %w", ErrPermission()))));
  EXPECT_FALSE(IsPermission(Error::New("permission denied")));
  EXPECT_FALSE(IsPermission(Error()));
  // The errno error has the same text but is a different error.
  EXPECT_FALSE(Is(Error::FromErrno(EACCES), ErrPermission()));
}

}  // namespace
}  // namespace lumra::support
