#include <gtest/gtest.h>

#include "e2e/e2e_fixture.hpp"

namespace lumra::testing {
namespace {

const std::string L = "darwin:3E56:2710:00000042";
const std::string R = "darwin:3E56:3220:00000043";
const EnvironmentChanges kChinese{{"LANG", "zh_CN.UTF-8"}};

struct CommandCase {
  std::string name;
  std::vector<std::string> words;
  EnvironmentChanges environment;
  int status;
  std::string out;
  std::string err;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class Commands : public LumraBinary, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(Commands, PrintExactly) {
  const CommandCase& c = GetParam();
  const ProcessResult result = run(c.words, "desk.json", c.environment);
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err);
}

const std::string kCapabilities =
    "(prot(monitor)type(LCD)model(DESK)cmds(01 02 03 E3 F3)vcp(10 12 60(0F 11) 62 D6(01 04 "
    "05))mccs_ver(2.2))";

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, Commands,
    ::testing::Values(
        CommandCase{"list_text",
                    {"list"},
                    {},
                    0,
                    "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR\n"
                    "0\t" +
                        L +
                        "\tDesk <Left> & Co\tioframebuffer\t2560x1440@59.951\t-\n"
                        "1\t" +
                        R + "\tDesk Right\tioframebuffer\t-\t-\n",
                    ""},
        CommandCase{"list_text_chinese",
                    {"list"},
                    kChinese,
                    0,
                    "序号\tID\t名称\t后端\t模式\t接口\n"
                    "0\t" +
                        L +
                        "\tDesk <Left> & Co\tioframebuffer\t2560x1440@59.951\t-\n"
                        "1\t" +
                        R + "\tDesk Right\tioframebuffer\t-\t-\n",
                    ""},
        CommandCase{
            "list_json",
            {"--json", "list"},
            {},
            0,
            "[{\"id\":\"" + L +
                "\",\"index\":0,\"name\":\"Desk <Left> & Co\","
                "\"manufacturer\":\"0x3E56\",\"model\":\"0x2710\",\"serial\":\"00000042\","
                "\"connector\":\"path:e21d3392c27b\",\"current_mode\":{\"width\":2560,\"height\":"
                "1440,\"refresh_hz\":59.951,"
                "\"logical_width\":1280,\"logical_height\":720},\"backend\":\"ioframebuffer\"},"
                "{\"id\":\"" +
                R +
                "\",\"index\":1,\"name\":\"Desk Right\",\"manufacturer\":"
                "\"0x3E56\",\"model\":\"0x3220\",\"serial\":\"00000043\",\"connector\":"
                "\"path:83ba31e98056\",\"backend\":"
                "\"ioframebuffer\"}]\n",
            ""},
        CommandCase{"get_text",
                    {"get", "0", "brightness"},
                    {},
                    0,
                    L + " (brightness / 0x10): 40 of 100\n",
                    ""},
        CommandCase{
            "get_text_chinese", {"get", L, "input"}, kChinese, 0, L + "（input / 0x60）：15\n", ""},
        CommandCase{"get_json",
                    {"get", "1", "brightness", "--json"},
                    {},
                    0,
                    "{\"code\":16,\"current\":70,\"feature\":\"brightness\",\"maximum\":100,"
                    "\"maximum_meaningful\":true,\"momentary\":false,\"monitor\":\"" +
                        R + "\",\"raw\":[0,100,0,70]}\n",
                    ""},
        CommandCase{"set_text",
                    {"set", "0", "volume", "0x20"},
                    {},
                    0,
                    L + " (volume / 0x62) command sent with value 32; the monitor value was not "
                        "read back\n",
                    ""},
        CommandCase{"set_json_chinese_unsafe",
                    {"--unsafe", "--json", "set", "0", "input", "17"},
                    kChinese,
                    0,
                    "{\"code\":96,\"feature\":\"input\",\"monitor\":\"" + L +
                        "\",\"transport_succeeded\":true,\"value\":17,\"verified\":false}\n",
                    ""},
        CommandCase{"adjust_text",
                    {"adjust", "0", "brightness", "-5"},
                    {},
                    0,
                    L + " (brightness / 0x10): 40 -> 35 of 100\n",
                    ""},
        CommandCase{"adjust_text_chinese",
                    {"adjust", "1", "brightness", "+100%"},
                    kChinese,
                    0,
                    R + "（brightness / 0x10）：70 -> 100 / 100\n",
                    ""},
        CommandCase{"adjust_json_clamped",
                    {"--json", "adjust", "0", "volume", "-20"},
                    {},
                    0,
                    "{\"code\":98,\"feature\":\"volume\",\"maximum\":100,\"monitor\":\"" + L +
                        "\",\"previous\":10,\"value\":0,\"written\":true}\n",
                    ""},
        CommandCase{"adjust_discrete",
                    {"adjust", "0", "input", "+1"},
                    {},
                    2,
                    "",
                    "input takes discrete values; use set\n"},
        CommandCase{"adjust_unsupported",
                    {"adjust", "1", "contrast", "+1"},
                    {},
                    1,
                    "",
                    "operation failed: DDC/CI VCP feature is unsupported\n"},
        CommandCase{"capabilities_text", {"capabilities", "0"}, {}, 0, kCapabilities + "\n", ""},
        CommandCase{
            "capabilities_json_unparsable",
            {"--json", "caps", "1"},
            {},
            0,
            "{\"capabilities\":{\"raw\":\"(prot(monitor)vcp(10))trailing\"},\"monitor\":\"" + R +
                "\",\"parse_error\":\"unexpected capabilities data at byte 22\","
                "\"parsed\":false}\n",
            ""},
        CommandCase{"unsupported_code",
                    {"get", "1", "contrast"},
                    {},
                    1,
                    "",
                    "operation failed: DDC/CI VCP feature is unsupported\n"},
        CommandCase{
            "unsupported_code_json",
            {"--json", "get", "1", "contrast"},
            {},
            1,
            "",
            "{\"category\":\"unsupported\",\"error\":\"operation failed: DDC/CI VCP feature "
            "is unsupported\",\"kind\":\"runtime\"}\n"},
        CommandCase{"no_such_monitor_chinese",
                    {"get", "2", "brightness"},
                    kChinese,
                    1,
                    "",
                    "操作失败：monitor not found: 2\n"},
        CommandCase{
            "unknown_feature", {"get", "0", "bright"}, {}, 2, "", "unknown feature: bright\n"},
        // A bad LUMRA_IOAV_FRAMING concerns only a command that reaches an IOAVService port.
        CommandCase{"bad_framing_ioframebuffer_get",
                    {"get", "0", "brightness"},
                    {{"LUMRA_IOAV_FRAMING", "hdmi"}},
                    0,
                    "darwin:3E56:2710:00000042 (brightness / 0x10): 40 of 100\n",
                    ""},
        CommandCase{"bad_framing_unknown_command",
                    {"unknown"},
                    {{"LUMRA_IOAV_FRAMING", "hdmi"}},
                    2,
                    "",
                    "unknown command: unknown\n"},
        CommandCase{"bad_framing_ioavservice_get",
                    {"get", "0", "brightness"},
                    {{"LUMRA_SIMULATION", "apple-silicon"}, {"LUMRA_IOAV_FRAMING", "hdmi"}},
                    2,
                    "",
                    "invalid LUMRA_IOAV_FRAMING: hdmi (use standard or ps190)\n"},
        CommandCase{"framing_in_any_case",
                    {"get", "0", "brightness"},
                    {{"LUMRA_SIMULATION", "apple-silicon"}, {"LUMRA_IOAV_FRAMING", "Standard"}},
                    0,
                    "darwin:3E56:2710:00A1B2C3 (brightness / 0x10): 60 of 100\n",
                    ""},
        // A word with a line feed keeps the report on one line.
        CommandCase{"word_with_line_feed",
                    {"get", "a\nb", "brightness"},
                    {},
                    1,
                    "",
                    "operation failed: monitor not found: a\\nb\n"},
        CommandCase{"unsafe_required",
                    {"set", "0", "power", "5"},
                    {},
                    2,
                    "",
                    "writing power is potentially disruptive; repeat with --unsafe after verifying "
                    "the monitor model and value\n"},
        CommandCase{"version", {"--version"}, {}, 0, "lumra " LUMRA_EXPECTED_VERSION "\n", ""},
        CommandCase{"version_json_ignores_command_words",
                    {"--json", "get", "9", "nothing", "--version"},
                    kChinese,
                    0,
                    "{\"version\":\"" LUMRA_EXPECTED_VERSION "\"}\n",
                    ""},
        CommandCase{"version_after_bad_option",
                    {"--bogus", "--version"},
                    {},
                    2,
                    "",
                    "invalid option: --bogus\n"},
        CommandCase{
            "usage_error_json",
            {"--json", "--timeout", "soon", "list"},
            {},
            2,
            "",
            "{\"category\":\"invalid-argument\",\"error\":\"invalid timeout: soon\",\"kind\":"
            "\"usage\"}\n"}),
    [](const auto& info) { return info.param.name; });

TEST_F(LumraBinary, CapabilitiesJSONIsParsed) {
  const ProcessResult result = run({"--json", "capabilities", "0"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("{\"capabilities\":{\"raw\":\"" + kCapabilities +
                                 "\",\"items\":[{\"kind\":\"node\",\"node\":{\"name\":\"prot\"",
                             0),
            0u);
  EXPECT_NE(result.out.find("},\"monitor\":\"" + L + "\",\"parsed\":true}\n"), std::string::npos);
}

TEST_F(LumraBinary, SetIsSeenByTheNextProcess) {
  ASSERT_EQ(run({"set", "1", "brightness", "12"}).status, 0);
  EXPECT_EQ(run({"get", "1", "brightness"}).out, R + " (brightness / 0x10): 12 of 100\n");
  ASSERT_EQ(run({"--unsafe", "set", "0", "vcp:0x12", "0b11"}).status, 0);
  EXPECT_EQ(run({"get", "0", "contrast"}).out, L + " (contrast / 0x12): 3 of 100\n");
  // Another scenario's monitors never share this state.
  EXPECT_EQ(run({"get", "0", "brightness"}, "twins.json").status, 0);
  EXPECT_EQ(run({"get", "1", "brightness"}).out, R + " (brightness / 0x10): 12 of 100\n");
}

// Every monitor at once: results in list order, a report for each that failed (the right
// monitor has no volume control), status 1 when any did.
INSTANTIATE_TEST_SUITE_P(
    AllMonitors, Commands,
    ::testing::Values(
        CommandCase{"one_fails_text",
                    {"get", "all", "volume"},
                    {},
                    1,
                    L + " (volume / 0x62): 10 of 100\n",
                    "operation failed: " + R + ": DDC/CI VCP feature is unsupported\n"},
        CommandCase{
            "one_fails_json",
            {"--json", "get", "all", "volume"},
            {},
            1,
            "[{\"code\":98,\"current\":10,\"feature\":\"volume\",\"maximum\":100,"
            "\"maximum_meaningful\":true,\"momentary\":false,\"monitor\":\"" +
                L + "\",\"raw\":[0,100,0,10]}]\n",
            "{\"category\":\"unsupported\",\"error\":\"operation failed: " + R +
                ": DDC/CI VCP feature is unsupported\",\"kind\":\"runtime\",\"monitor\":\"" + R +
                "\"}\n"},
        CommandCase{"one_fails_chinese",
                    {"get", "all", "volume"},
                    kChinese,
                    1,
                    L + "（volume / 0x62）：10 / 100\n",
                    "操作失败：" + R + ": DDC/CI VCP feature is unsupported\n"},
        CommandCase{"all_succeed",
                    {"adjust", "all", "brightness", "+5"},
                    {},
                    0,
                    L + " (brightness / 0x10): 40 -> 45 of 100\n" + R +
                        " (brightness / 0x10): 70 -> 75 of 100\n",
                    ""},
        CommandCase{
            "capabilities_with_ids",
            {"caps", "all"},
            {},
            0,
            L +
                "\t(prot(monitor)type(LCD)model(DESK)cmds(01 02 03 E3 F3)vcp(10 12 60(0F 11) "
                "62 D6(01 04 05))mccs_ver(2.2))\n" +
                R + "\t(prot(monitor)vcp(10))trailing\n",
            ""},
        CommandCase{
            "by_name",
            {"--unsafe", "set", "LEFT", "input", "hdmi1"},
            {},
            0,
            L + " (input / 0x60) command sent with value 17; the monitor value was not read "
                "back\n",
            ""},
        CommandCase{"name_matches_both",
                    {"get", "desk", "brightness"},
                    {},
                    1,
                    "",
                    "monitor name \"desk\" matches 2 monitors: " + L + ", " + R +
                        "; use the index or the ID\n"}),
    [](const auto& info) { return info.param.name; });

// A result that cannot be written fails the command, with the usual report, in text and JSON.
TEST_F(LumraBinary, OutputThatCannotBeWrittenIsAFailure) {
  const std::string lost = "write standard output: no space left on device";
  const struct {
    std::vector<std::string> words;
    std::string err;
  } cases[] = {
      {{"list"}, "operation failed: " + lost + "\n"},
      {{"features"}, "operation failed: " + lost + "\n"},
      {{"help"}, "operation failed: " + lost + "\n"},
      {{"set", "0", "brightness", "20"}, "operation failed: " + lost + "\n"},
      {{"--json", "get", "0", "brightness"},
       "{\"category\":\"transport\",\"error\":\"operation failed: " + lost +
           "\",\"kind\":\"runtime\"}\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"-c", "exec \"$0\" \"$@\" >/dev/full", LUMRA_BINARY};
    arguments.insert(arguments.end(), c.words.begin(), c.words.end());
    const ProcessResult result = runProcess("/bin/sh", arguments, environment());
    EXPECT_EQ(result.status, 1) << c.words.front();
    EXPECT_EQ(result.err, c.err) << c.words.front();
  }
}

TEST_F(LumraBinary, FeaturesNeedNoMonitor) {
  const ProcessResult result = run({"features"}, "missing.json");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.rfind("NAME\tVCP CODE\nbrightness\t0x10\n", 0), 0u);
  EXPECT_EQ(result.err, "");
}

TEST_F(LumraBinary, UnreadableScenarioIsOneClearReport) {
  const ProcessResult result = run({"list"}, "missing.json");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("missing.json"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("operation failed: native display enumeration failed: -2\n"),
            std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace lumra::testing
