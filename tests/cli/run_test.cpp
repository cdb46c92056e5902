#include <gtest/gtest.h>

#include <chrono>

#include "cli/run_test_support.hpp"
#include "cli/version.hpp"
#include "ddc/errors.hpp"
#include "ddcci/errors.hpp"
#include "support/context.hpp"

namespace lumra::testing {
namespace {

const std::string kUsageEN =
    "Usage: Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] [--unsafe] "
    "[--verify] [--wait] "
    "<command>\n\nCommands:\n"
    "  list\n  get <monitor> <feature|vcp:0xNN>\n  set <monitor> <feature|vcp:0xNN> <value>\n"
    "  adjust <monitor> <feature|vcp:0xNN> <+N|-N|+N%>\n"
    "  toggle <monitor> <feature|vcp:0xNN> <value-a> <value-b>\n  capabilities <monitor>\n"
    "  save <monitor> [file|name|-]\n  restore <file|name|-> [monitor]\n  "
    "features\n\nThe monitor selector is an index from list, a full monitor ID, a name (or part "
    "of one), or all.\nDisruptive features and raw VCP writes require --unsafe.\nlumra --version "
    "prints the version; lumra help, --help or -h prints this text.";

const std::string kUsageJSON =
    "{\"usage\":\"Usage: Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] "
    "[--unsafe] [--verify] [--wait] "
    "<command>\\n\\nCommands:\\n  list\\n  get <monitor> <feature|vcp:0xNN>\\n  set <monitor> "
    "<feature|vcp:0xNN> <value>\\n  adjust <monitor> <feature|vcp:0xNN> <+N|-N|+N%>\\n  "
    "toggle <monitor> <feature|vcp:0xNN> <value-a> <value-b>\\n  "
    "capabilities <monitor>\\n  save <monitor> [file|name|-]\\n  "
    "restore <file|name|-> [monitor]\\n  features\\n\\nThe monitor selector "
    "is an index from list, a full monitor ID, a name (or part of one), or all.\\nDisruptive "
    "features and raw VCP writes require "
    "--unsafe.\\nlumra --version prints the version; lumra help, --help or -h prints this "
    "text.\"}\n";

struct Case {
  std::string name;
  std::vector<std::string> words;
  Environment environment;
  int status;
  std::string out;
  std::string err;
  std::vector<std::string> calls;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

class RunTable : public ::testing::TestWithParam<Case> {};

TEST_P(RunTable, PrintsExactlyAndCallsOnlyWhatItMust) {
  const Case& c = GetParam();
  FakeTransport transport;
  transport.monitors = sampleMonitors();
  transport.value.Current = 50;
  transport.value.Maximum = 100;
  transport.value.Raw = {0, 100, 0, 50};
  transport.capabilities = "(prot(monitor)vcp(10 12))";

  const RunOutcome outcome = runWith(transport, c.words, c.environment);
  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(outcome.out, c.out);
  EXPECT_EQ(outcome.err, c.err);
  EXPECT_EQ(transport.calls, c.calls);
}

const std::string M0 = "darwin:10AC:A0C4:12345678";
const std::string M1 = "path:0123456789ab";
const Environment kChinese{{"LANG", "zh_CN.UTF-8"}};

INSTANTIATE_TEST_SUITE_P(
    Usage, RunTable,
    ::testing::Values(
        Case{"no_words", {}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"help", {"help", "whatever"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"dash_dash_help", {"--help"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"dash_h", {"-h"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"after_double_dash", {"--", "-h"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"h_discards_collected_words", {"list", "-h", "extra"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"json_before_help", {"--json", "--help"}, {}, 0, kUsageJSON, "", {}},
        Case{"json_after_help_word", {"help", "--json"}, {}, 0, kUsageJSON, "", {}},
        Case{"help_stops_before_json", {"--help", "--json"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"help_stops_before_bad_option", {"--help", "--bogus"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{
            "chinese_usage",
            {},
            kChinese,
            0,
            "用法：Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] [--unsafe] "
            "[--verify] [--wait] "
            "<命令>\n\n命令：\n "
            " list\n"
            "  get <显示器> <功能|vcp:0xNN>\n  set <显示器> <功能|vcp:0xNN> <值>\n  adjust "
            "<显示器> <功能|vcp:0xNN> <+N|-N|+N%>\n  toggle <显示器> <功能|vcp:0xNN> <值A> "
            "<值B>\n  capabilities "
            "<显示器>\n  save <显示器> [文件|名称|-]\n  restore <文件|名称|-> [显示器]\n  "
            "features\n\n显示器参数可以是 list 返回的序号、完整 "
            "ID、名称（或名称的一部分）"
            "或 all。\n可能中断画面的功能和"
            "原始 VCP 写入必须显式添加 --unsafe。\nlumra --version 显示版本；lumra help、--help 或 "
            "-h 显示本说明。\n",
            "",
            {}}),
    [](const auto& info) { return info.param.name; });

const std::string kVersion = "lumra " + std::string(cli::kVersion) + "\n";

// The version never reaches the transport, whatever the command words say.
INSTANTIATE_TEST_SUITE_P(
    Version, RunTable,
    ::testing::Values(
        Case{"version", {"--version"}, {}, 0, kVersion, "", {}},
        Case{"version_ignores_command",
             {"set", "0", "brightness", "5", "--version"},
             kChinese,
             0,
             kVersion,
             "",
             {}},
        Case{"version_json",
             {"--version", "--json", "list"},
             {},
             0,
             "{\"version\":\"" + std::string(cli::kVersion) + "\"}\n",
             "",
             {}},
        Case{"help_stops_before_version", {"-h", "--version"}, {}, 0, kUsageEN + "\n", "", {}},
        Case{"bad_option_after_version",
             {"--version", "--bogus"},
             {},
             2,
             "",
             "invalid option: --bogus\n",
             {}}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    CommandLineFailures, RunTable,
    ::testing::Values(
        Case{"bad_option_before_help",
             {"--bogus", "help"},
             {},
             2,
             "",
             "invalid option: --bogus\n",
             {}},
        Case{"help_word_with_bad_option",
             {"help", "--bogus"},
             {},
             2,
             "",
             "invalid option: --bogus\n",
             {}},
        Case{"bad_option_json",
             {"--json", "-j"},
             {},
             2,
             "",
             "{\"category\":\"invalid-argument\",\"error\":\"invalid option: "
             "-j\",\"kind\":\"usage\"}\n",
             {}},
        Case{"json_after_bad_option_not_seen",
             {"--JSON", "--json"},
             {},
             2,
             "",
             "invalid option: --JSON\n",
             {}},
        Case{"language_before_bad_option",
             {"--lang", "zh", "--bogus"},
             {},
             2,
             "",
             "无效选项：--bogus\n",
             {}},
        Case{"missing_timeout",
             {"list", "--timeout"},
             {},
             2,
             "",
             "option --timeout requires a value\n",
             {}},
        Case{"missing_lang_zh", {"--lang"}, kChinese, 2, "", "选项 --lang 需要一个值\n", {}},
        Case{"empty_timeout", {"--timeout=", "list"}, {}, 2, "", "invalid timeout: \n", {}},
        Case{"zero_timeout", {"--timeout", "0", "list"}, {}, 2, "", "invalid timeout: 0\n", {}},
        Case{"unknown_command_case", {"LIST"}, {}, 2, "", "unknown command: LIST\n", {}},
        Case{"unknown_empty_command", {""}, {}, 2, "", "unknown command: \n", {}},
        Case{"dash_is_a_command_word", {"-"}, {}, 2, "", "unknown command: -\n", {}},
        Case{"unknown_command_json_escapes_html",
             {"--json", "<b>&"},
             {},
             2,
             "",
             "{\"category\":\"invalid-argument\",\"error\":\"unknown command: "
             "\\u003cb\\u003e\\u0026\",\"kind\":\"usage\"}\n",
             {}},
        Case{"list_extra", {"list", "extra"}, {}, 2, "", "invalid arguments for list\n", {}},
        Case{"get_one_word", {"get", "1"}, {}, 2, "", "invalid arguments for get\n", {}},
        Case{"set_four_words",
             {"set", "1", "brightness", "5", "6"},
             {},
             2,
             "",
             "invalid arguments for set\n",
             {}},
        Case{"caps_no_words", {"caps"}, kChinese, 2, "", "caps 的参数不正确\n", {}},
        Case{
            "features_extra", {"features", "x"}, {}, 2, "", "invalid arguments for features\n", {}},
        Case{"double_dash_keeps_json_as_value",
             {"--", "set", "1", "brightness", "--json"},
             {},
             2,
             "",
             "invalid value: --json\n",
             {"List"}},
        Case{"negative_value_is_an_option",
             {"set", "1", "brightness", "-5"},
             {},
             2,
             "",
             "invalid option: -5\n",
             {}},
        // Only a command that reaches an IOAVService port reports a framing the bridge does not
        // know (these monitors are on IOFramebuffer; the end-to-end tests cover both).
        Case{"unknown_ioav_framing_not_reached",
             {"--json", "list", "extra"},
             {{"LUMRA_IOAV_FRAMING", "hdmi"}, {"LANG", "zh_CN.UTF-8"}},
             2,
             "",
             "{\"category\":\"invalid-argument\",\"error\":\"list "
             "的参数不正确\",\"kind\":\"usage\"}\n",
             {}},
        Case{"known_ioav_framing_goes_on",
             {"features", "extra"},
             {{"LUMRA_IOAV_FRAMING", "ps190"}},
             2,
             "",
             "invalid arguments for features\n",
             {}}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Successes, RunTable,
    ::testing::Values(
        Case{"list_text",
             {"list"},
             {},
             0,
             "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR\n"
             "0\tdarwin:10AC:A0C4:12345678\tAcme View 27\tiofb-i2c\t2560x1440@59.951\tHDMI\n"
             "1\tpath:0123456789ab\tSide <&> Screen\tiofb-i2c\t-\t-\n",
             "",
             {"List"}},
        Case{"list_text_chinese",
             {"list"},
             kChinese,
             0,
             "序号\tID\t名称\t后端\t模式\t接口\n"
             "0\tdarwin:10AC:A0C4:12345678\tAcme View 27\tiofb-i2c\t2560x1440@59.951\tHDMI\n"
             "1\tpath:0123456789ab\tSide <&> Screen\tiofb-i2c\t-\t-\n",
             "",
             {"List"}},
        Case{
            "list_json",
            {"list", "--json"},
            {},
            0,
            "[{\"id\":\"darwin:10AC:A0C4:12345678\",\"index\":0,\"name\":\"Acme View 27\","
            "\"manufacturer\":\"ACM\",\"model\":\"A0C4\",\"serial\":\"12345678\",\"connector\":"
            "\"dispext0\",\"connector_type\":\"hdmi\",\"current_mode\":{\"width\":2560,\"height\":"
            "1440,\"refresh_hz\":59.951,\"logical_width\":1280,\"logical_height\":720},\"backend\":"
            "\"iofb-i2c\",\"path\":\"IOService:/fb0\"},{\"id\":\"path:0123456789ab\",\"index\":1,"
            "\"name\":\"Side <&> Screen\",\"backend\":\"iofb-i2c\"}]\n",
            "",
            {"List"}},
        Case{"get_text",
             {"get", "0", "brightness"},
             {},
             0,
             M0 + " (brightness / 0x10): 50 of 100\n",
             "",
             {"List", "GetVCP " + M0 + " 0x10"}},
        Case{"get_text_chinese",
             {"get", M1, "BRIGHTNESS"},
             kChinese,
             0,
             M1 + "（brightness / 0x10）：50 / 100\n",
             "",
             {"List", "GetVCP " + M1 + " 0x10"}},
        Case{"get_discrete",
             {"get", "1", "input"},
             {},
             0,
             M1 + " (input / 0x60): 50\n",
             "",
             {"List", "GetVCP " + M1 + " 0x60"}},
        Case{"get_unknown_kind",
             {"get", "1", "vcp:0x99"},
             {},
             0,
             M1 + " (vcp:0x99 / 0x99): current 50, raw maximum 100 (value kind unknown)\n",
             "",
             {"List", "GetVCP " + M1 + " 0x99"}},
        Case{"get_json",
             {"--json", "get", "0", "brightness"},
             {},
             0,
             "{\"code\":16,\"current\":50,\"feature\":\"brightness\",\"maximum\":100,"
             "\"maximum_meaningful\":true,\"momentary\":false,\"monitor\":\"" +
                 M0 + "\",\"raw\":[0,100,0,50]}\n",
             "",
             {"List", "GetVCP " + M0 + " 0x10"}},
        Case{"get_json_discrete",
             {"--json", "get", "0", "input"},
             {},
             0,
             "{\"code\":96,\"current\":50,\"feature\":\"input\",\"maximum\":100,"
             "\"maximum_meaningful\":false,\"momentary\":false,\"monitor\":\"" +
                 M0 + "\",\"raw\":[0,100,0,50]}\n",
             "",
             {"List", "GetVCP " + M0 + " 0x60"}},
        Case{"get_json_unknown_kind",
             {"--json", "get", "0", "vcp:153"},
             {},
             0,
             "{\"code\":153,\"current\":50,\"feature\":\"vcp:0x99\",\"maximum\":100,"
             "\"maximum_meaningful\":null,\"momentary\":false,\"monitor\":\"" +
                 M0 + "\",\"raw\":[0,100,0,50]}\n",
             "",
             {"List", "GetVCP " + M0 + " 0x99"}},
        Case{"set_hex",
             {"set", "0", "brightness", "0x32"},
             {},
             0,
             M0 + " (brightness / 0x10) command sent with value 50; the monitor value was not read "
                  "back\n",
             "",
             {"List", "SetVCP " + M0 + " 0x10 50"}},
        Case{"set_octal_chinese",
             {"set", "0", "brightness", "062"},
             kChinese,
             0,
             M0 + "（brightness / 0x10）已发送值 50；未读回验证显示器状态\n",
             "",
             {"List", "SetVCP " + M0 + " 0x10 50"}},
        Case{"set_json",
             {"set", "1", "contrast", "1_0", "--json"},
             {},
             0,
             "{\"code\":18,\"feature\":\"contrast\",\"monitor\":\"" + M1 +
                 "\",\"transport_succeeded\":true,\"value\":10,\"verified\":false}\n",
             "",
             {"List", "SetVCP " + M1 + " 0x12 10"}},
        Case{
            "set_unsafe_input",
            {"set", "1", "input", "15", "--unsafe"},
            {},
            0,
            M1 +
                " (input / 0x60) command sent with value 15; the monitor value was not read back\n",
            "",
            {"List", "SetVCP " + M1 + " 0x60 15"}},
        Case{"set_raw_with_unsafe",
             {"--unsafe", "set", "1", "VCP:0x10", "30"},
             {},
             0,
             M1 + " (vcp:0x10 / 0x10) command sent with value 30; the monitor value was not read "
                  "back\n",
             "",
             {"List", "SetVCP " + M1 + " 0x10 30"}},
        Case{
            "set_power_on_is_unsafe_by_table",
            {"set", "1", "power", "1", "--unsafe"},
            {},
            0,
            M1 + " (power / 0xD6) command sent with value 1; the monitor value was not read back\n",
            "",
            {"List", "AdjustVCP " + M1 + " 0xD6 write 1"}},
        Case{"capabilities_text",
             {"capabilities", "0"},
             {},
             0,
             "(prot(monitor)vcp(10 12))\n",
             "",
             {"List", "Capabilities " + M0}},
        Case{
            "caps_json",
            {"caps", "0", "--json"},
            {},
            0,
            "{\"capabilities\":{\"raw\":\"(prot(monitor)vcp(10 "
            "12))\",\"items\":[{\"kind\":\"node\","
            "\"node\":{\"name\":\"prot\",\"items\":[{\"kind\":\"token\",\"token\":\"monitor\"}],"
            "\"tokens\":[\"monitor\"],\"raw\":\"prot(monitor)\"}},{\"kind\":\"node\",\"node\":{"
            "\"name\":\"vcp\",\"items\":[{\"kind\":\"token\",\"token\":\"10\"},{\"kind\":\"token\","
            "\"token\":\"12\"}],\"tokens\":[\"10\",\"12\"],\"raw\":\"vcp(10 "
            "12)\"}}],\"children\":[{"
            "\"name\":\"prot\",\"items\":[{\"kind\":\"token\",\"token\":\"monitor\"}],\"tokens\":["
            "\"monitor\"],\"raw\":\"prot(monitor)\"},{\"name\":\"vcp\",\"items\":[{\"kind\":"
            "\"token\","
            "\"token\":\"10\"},{\"kind\":\"token\",\"token\":\"12\"}],\"tokens\":[\"10\",\"12\"],"
            "\"raw\":\"vcp(10 12)\"}]},\"monitor\":\"" +
                M0 + "\",\"parsed\":true}\n",
            "",
            {"List", "Capabilities " + M0}}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Refusals, RunTable,
    ::testing::Values(
        Case{"value_too_large",
             {"set", "1", "brightness", "70000"},
             {},
             2,
             "",
             "invalid value: 70000\n",
             {"List"}},
        Case{"value_checked_before_writability",
             {"set", "1", "mccs-version", "99999"},
             {},
             2,
             "",
             "invalid value: 99999\n",
             {"List"}},
        Case{"read_only_even_with_unsafe",
             {"--unsafe", "set", "1", "mccs-version", "2"},
             {},
             2,
             "",
             "mccs-version is exposed as a read-only feature\n",
             {"List"}},
        Case{"read_only_chinese",
             {"set", "1", "controller-id", "1"},
             kChinese,
             2,
             "",
             "controller-id 仅允许读取\n",
             {"List"}},
        Case{"input_needs_unsafe",
             {"set", "1", "input", "15"},
             {},
             2,
             "",
             "writing input is potentially disruptive; repeat with --unsafe after verifying the "
             "monitor "
             "model and value\n",
             {"List"}},
        Case{"raw_code_needs_unsafe_named_as_parsed",
             {"set", "1", "VCP:0X10", "30"},
             {},
             2,
             "",
             "writing vcp:0x10 is potentially disruptive; repeat with --unsafe after verifying the "
             "monitor model and value\n",
             {"List"}},
        Case{"power_needs_unsafe_chinese",
             {"set", "1", "power", "4"},
             kChinese,
             2,
             "",
             "写入 power 可能中断画面；请先核实显示器型号和值，再添加 --unsafe 重试\n",
             {"List"}},
        Case{"unsafe_after_double_dash_is_a_word",
             {"set", "1", "input", "15", "--", "--unsafe"},
             {},
             2,
             "",
             "invalid arguments for set\n",
             {}},
        Case{"unknown_feature_as_typed",
             {"get", "1", " Bright "},
             {},
             2,
             "",
             "unknown feature:  Bright \n",
             {"List"}},
        Case{"unknown_feature_json",
             {"--json", "set", "1", "bright<", "5"},
             {},
             2,
             "",
             "{\"category\":\"invalid-argument\",\"error\":\"unknown feature: "
             "bright\\u003c\",\"kind\":"
             "\"usage\"}\n",
             {"List"}},
        Case{"missing_monitor_before_bad_feature",
             {"get", "7", "nonsense"},
             {},
             1,
             "",
             "operation failed: monitor not found: 7\n",
             {"List"}},
        Case{"missing_monitor_json",
             {"--json", "get", "9", "brightness"},
             {},
             1,
             "",
             "{\"category\":\"not-found-or-hotplug\",\"error\":\"operation failed: monitor not "
             "found: "
             "9\",\"kind\":\"runtime\"}\n",
             {"List"}},
        Case{"missing_monitor_set_chinese",
             {"set", "9", "brightness", "1"},
             kChinese,
             1,
             "",
             "操作失败：monitor not found: 9\n",
             {"List"}},
        Case{"missing_monitor_capabilities",
             {"capabilities", "Darwin:10AC:A0C4:12345678"},
             {},
             1,
             "",
             "operation failed: monitor not found: Darwin:10AC:A0C4:12345678\n",
             {"List"}}),
    [](const auto& info) { return info.param.name; });

// The fake reads 50 of 100.
INSTANTIATE_TEST_SUITE_P(
    Adjust, RunTable,
    ::testing::Values(
        Case{"text",
             {"adjust", "0", "brightness", "+10"},
             {},
             0,
             M0 + " (brightness / 0x10): 50 -> 60 of 100\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10 write 60"}},
        Case{"negative_percent_chinese",
             {"adjust", "1", "volume", "-5%"},
             kChinese,
             0,
             M1 + "（volume / 0x62）：50 -> 45 / 100\n",
             "",
             {"List", "AdjustVCP " + M1 + " 0x62 write 45"}},
        Case{"clamped_json",
             {"--json", "adjust", "0", "contrast", "+0x40"},
             {},
             0,
             "{\"code\":18,\"feature\":\"contrast\",\"maximum\":100,\"monitor\":\"" + M0 +
                 "\",\"previous\":50,\"value\":100,\"written\":true}\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x12 write 100"}},
        Case{"unchanged_json",
             {"--json", "adjust", "0", "brightness", "-0%"},
             {},
             0,
             "{\"code\":16,\"feature\":\"brightness\",\"maximum\":100,\"monitor\":\"" + M0 +
                 "\",\"previous\":50,\"value\":50,\"written\":false}\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10"}},
        Case{"unchanged_text_chinese",
             {"adjust", "0", "sharpness", "+0"},
             kChinese,
             0,
             M0 + "（sharpness / 0x87）：保持 50 / 100\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x87"}},
        Case{"negative_after_double_dash",
             {"adjust", "0", "brightness", "--", "-60"},
             {},
             0,
             M0 + " (brightness / 0x10): 50 -> 0 of 100\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10 write 0"}},
        Case{"raw_code_with_unsafe",
             {"--unsafe", "adjust", "1", "vcp:0x10", "+1"},
             {},
             0,
             M1 + " (vcp:0x10 / 0x10): 50 -> 51 of 100\n",
             "",
             {"List", "AdjustVCP " + M1 + " 0x10 write 51"}},
        Case{"raw_code_of_unknown_kind_with_unsafe",
             {"--unsafe", "adjust", "1", "vcp:0x16", "+1"},
             {},
             0,
             M1 + " (vcp:0x16 / 0x16): 50 -> 51 of 100\n",
             "",
             {"List", "AdjustVCP " + M1 + " 0x16 write 51"}},
        Case{"raw_code_needs_unsafe",
             {"adjust", "1", "vcp:0x10", "+1"},
             {},
             2,
             "",
             "writing vcp:0x10 is potentially disruptive; repeat with --unsafe after verifying the "
             "monitor model and value\n",
             {"List"}},
        Case{"delta_checked_first",
             {"adjust", "1", "mccs-version", "10"},
             {},
             2,
             "",
             "invalid value: 10\n",
             {"List"}},
        Case{"read_only",
             {"--unsafe", "adjust", "1", "controller-id", "+1"},
             {},
             2,
             "",
             "controller-id is exposed as a read-only feature\n",
             {"List"}},
        Case{"discrete_before_unsafe",
             {"adjust", "1", "input", "+1"},
             {},
             2,
             "",
             "input takes discrete values; use set\n",
             {"List"}},
        Case{"discrete_raw_code_chinese",
             {"--unsafe", "adjust", "1", "vcp:0x8d", "-1"},
             kChinese,
             2,
             "",
             "vcp:0x8D 只接受离散值；请改用 set\n",
             {"List"}},
        Case{"discrete_json",
             {"--json", "adjust", "1", "color-preset", "+1"},
             {},
             2,
             "",
             "{\"category\":\"invalid-argument\",\"error\":\"color-preset takes discrete values; "
             "use "
             "set\",\"kind\":\"usage\"}\n",
             {"List"}},
        Case{"too_few_words",
             {"adjust", "0", "brightness"},
             {},
             2,
             "",
             "invalid arguments for adjust\n",
             {}}),
    [](const auto& info) { return info.param.name; });

// A value's name is its number before any guard looks at it.
INSTANTIATE_TEST_SUITE_P(
    NamedValues, RunTable,
    ::testing::Values(
        Case{
            "input",
            {"--unsafe", "set", "0", "input", "HDMI1"},
            {},
            0,
            M0 +
                " (input / 0x60) command sent with value 17; the monitor value was not read back\n",
            "",
            {"List", "SetVCP " + M0 + " 0x60 17"}},
        Case{
            "vendor_input",
            {"--unsafe", "set", "0", "input", "usbc"},
            {},
            0,
            M0 +
                " (input / 0x60) command sent with value 27; the monitor value was not read back\n",
            "",
            {"List", "SetVCP " + M0 + " 0x60 27"}},
        // LG's alternate input goes out from source 0x50; reading it is refused before listing.
        Case{"alternate_input",
             {"--unsafe", "set", "0", "input-alt", "DP1"},
             {},
             0,
             M0 + " (input-alt / 0xF4) command sent with value 208; the monitor value was not "
                  "read back\n",
             "",
             {"List", "SetVCP " + M0 + " 0xF4 208 from 0x50"}},
        Case{"alternate_input_read",
             {"get", "0", "input-alt"},
             {},
             2,
             "",
             "input-alt is write-only: monitors do not report its value; read the current input "
             "with get input\n",
             {}},
        Case{"raw_input_code",
             {"--unsafe", "set", "0", "vcp:0x60", "dp2"},
             {},
             0,
             M0 + " (vcp:0x60 / 0x60) command sent with value 16; the monitor value was not read "
                  "back\n",
             "",
             {"List", "SetVCP " + M0 + " 0x60 16"}},
        Case{
            "power",
            {"--unsafe", "set", "0", "power", "Standby"},
            {},
            0,
            M0 + " (power / 0xD6) command sent with value 2; the monitor value was not read back\n",
            "",
            {"List", "SetVCP " + M0 + " 0xD6 2"}},
        Case{"power_off_hard_needs_unsafe",
             {"set", "0", "power", "off-hard"},
             {},
             2,
             "",
             "writing power is potentially disruptive; repeat with --unsafe after verifying the "
             "monitor model and value\n",
             {"List"}},
        Case{"mute",
             {"set", "0", "mute", "off"},
             {},
             0,
             M0 + " (mute / 0x8D) command sent with value 2; the monitor value was not read back\n",
             "",
             {"List", "SetVCP " + M0 + " 0x8D 2"}},
        Case{"color_preset",
             {"--json", "set", "1", "color-preset", "6500K"},
             {},
             0,
             "{\"code\":20,\"feature\":\"color-preset\",\"monitor\":\"" + M1 +
                 "\",\"transport_succeeded\":true,\"value\":5,\"verified\":false}\n",
             "",
             {"List", "SetVCP " + M1 + " 0x14 5"}},
        Case{"name_of_another_feature",
             {"set", "0", "mute", "hdmi1"},
             {},
             2,
             "",
             "invalid value: hdmi1\n",
             {"List"}},
        Case{"no_names_for_continuous",
             {"set", "0", "brightness", "on"},
             {},
             2,
             "",
             "invalid value: on\n",
             {"List"}},
        Case{"read_only_after_name",
             {"--unsafe", "set", "0", "mccs-version", "on"},
             {},
             2,
             "",
             "invalid value: on\n",
             {"List"}}),
    [](const auto& info) { return info.param.name; });

// toggle and --verify against the fake, which reads 50 of 100 whatever was written.
INSTANTIATE_TEST_SUITE_P(
    ToggleAndVerify, RunTable,
    ::testing::Values(
        Case{"toggle_from_first",
             {"toggle", "0", "brightness", "50", "70"},
             {},
             0,
             M0 + " (brightness / 0x10): 50 -> 70\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10 write 70"}},
        Case{"toggle_from_other_json",
             {"--json", "toggle", "0", "brightness", "10", "50"},
             {},
             0,
             "{\"code\":16,\"feature\":\"brightness\",\"monitor\":\"" + M0 +
                 "\",\"previous\":50,\"value\":10,\"written\":true}\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10 write 10"}},
        Case{"toggle_input_on_low_byte",
             {"--unsafe", "toggle", "0", "input", "0x132", "hdmi1"},
             {},
             0,
             M0 + " (input / 0x60): 50 -> 17\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x60 write 17"}},
        Case{"toggle_input_needs_unsafe",
             {"toggle", "0", "input", "hdmi1", "dp1"},
             {},
             2,
             "",
             "writing input is potentially disruptive; repeat with --unsafe after verifying the "
             "monitor model and value\n",
             {"List"}},
        Case{"toggle_second_value_invalid",
             {"toggle", "0", "input", "hdmi1", "hdmi9"},
             {},
             2,
             "",
             "invalid value: hdmi9\n",
             {"List"}},
        Case{"toggle_read_only",
             {"--unsafe", "toggle", "0", "controller-id", "1", "2"},
             {},
             2,
             "",
             "controller-id is exposed as a read-only feature\n",
             {"List"}},
        Case{"toggle_momentary_chinese",
             {"--unsafe", "toggle", "0", "vcp:0x05", "0", "1"},
             kChinese,
             2,
             "",
             "vcp:0x05 是无法读回的动作，不能切换或验证\n",
             {"List"}},
        Case{"toggle_needs_two_values",
             {"toggle", "0", "mute", "on"},
             {},
             2,
             "",
             "invalid arguments for toggle\n",
             {}},
        Case{"verify_confirmed_json",
             {"--json", "set", "0", "brightness", "50", "--verify"},
             {},
             0,
             "{\"code\":16,\"feature\":\"brightness\",\"monitor\":\"" + M0 +
                 "\",\"read_back\":50,\"transport_succeeded\":true,\"value\":50,\"verified\":true}"
                 "\n",
             "",
             {"List", "SetVCP " + M0 + " 0x10 50", "GetVCP " + M0 + " 0x10"}},
        // Each mismatch is read twice, then written again, three writes in all.
        Case{"verify_not_applied",
             {"--verify", "set", "0", "brightness", "40"},
             {},
             1,
             "",
             "operation failed: brightness (0x10) did not take the value: wrote 40, read back 50\n",
             {"List", "SetVCP " + M0 + " 0x10 40", "GetVCP " + M0 + " 0x10",
              "GetVCP " + M0 + " 0x10", "SetVCP " + M0 + " 0x10 40", "GetVCP " + M0 + " 0x10",
              "GetVCP " + M0 + " 0x10", "SetVCP " + M0 + " 0x10 40", "GetVCP " + M0 + " 0x10",
              "GetVCP " + M0 + " 0x10"}},
        Case{"verify_not_applied_json_chinese",
             {"--json", "--verify", "adjust", "1", "volume", "+1"},
             kChinese,
             1,
             "",
             "{\"category\":\"not-applied\",\"error\":\"操作失败：volume（0x62）未接受该值：写入 "
             "51，读回 50\",\"kind\":\"runtime\"}\n",
             {"List", "AdjustVCP " + M1 + " 0x62 write 51", "GetVCP " + M1 + " 0x62",
              "GetVCP " + M1 + " 0x62", "SetVCP " + M1 + " 0x62 51", "GetVCP " + M1 + " 0x62",
              "GetVCP " + M1 + " 0x62", "SetVCP " + M1 + " 0x62 51", "GetVCP " + M1 + " 0x62",
              "GetVCP " + M1 + " 0x62"}},
        Case{
            "verify_refuses_momentary",
            {"--unsafe", "--verify", "set", "0", "vcp:0x04", "1"},
            {},
            2,
            "",
            "vcp:0x04 is an action that cannot be read back, so it cannot be toggled or verified\n",
            {"List"}},
        Case{"verify_unchanged_adjust_reads_nothing",
             {"--verify", "adjust", "0", "brightness", "+0"},
             {},
             0,
             M0 + " (brightness / 0x10): stays at 50 of 100\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10"}}),
    [](const auto& info) { return info.param.name; });

// Names select a monitor; one that matches several is refused in the user's language.
INSTANTIATE_TEST_SUITE_P(
    Selectors, RunTable,
    ::testing::Values(
        Case{"exact_name",
             {"get", "side <&> screen", "brightness"},
             {},
             0,
             M1 + " (brightness / 0x10): 50 of 100\n",
             "",
             {"List", "GetVCP " + M1 + " 0x10"}},
        Case{"part_of_a_name",
             {"caps", "ACME"},
             {},
             0,
             "(prot(monitor)vcp(10 12))\n",
             "",
             {"List", "Capabilities " + M0}},
        Case{"ambiguous_before_feature",
             {"get", "e", "nonsense"},
             {},
             1,
             "",
             "monitor name \"e\" matches 2 monitors: " + M0 + ", " + M1 +
                 "; use the index or the ID\n",
             {"List"}},
        Case{"ambiguous_chinese",
             {"set", "E", "brightness", "5"},
             kChinese,
             1,
             "",
             "显示器名称 \"E\" 匹配到 2 台显示器：" + M0 + ", " + M1 + "；请改用序号或 ID\n",
             {"List"}},
        Case{"ambiguous_json",
             {"--json", "adjust", "e", "brightness", "+1"},
             {},
             1,
             "",
             "{\"category\":\"invalid-argument\",\"error\":\"monitor name \\\"e\\\" matches 2 "
             "monitors: " +
                 M0 + ", " + M1 + "; use the index or the ID\",\"kind\":\"runtime\"}\n",
             {"List"}},
        Case{"all_refused_once",
             {"set", "all", "brightness", "99999"},
             {},
             2,
             "",
             "invalid value: 99999\n",
             {"List"}}),
    [](const auto& info) { return info.param.name; });

// A failed read writes nothing; a failed write after a good read is reported as such.
// The fake reads 50 of 100. The save follows the write and its read-back, once per monitor,
// and only when something was written.
INSTANTIATE_TEST_SUITE_P(
    SaveSettings, RunTable,
    ::testing::Values(
        Case{"set_verified_then_saved",
             {"--json", "--save-settings", "--verify", "set", "0", "brightness", "50"},
             {},
             0,
             "{\"code\":16,\"feature\":\"brightness\",\"monitor\":\"" + M0 +
                 "\",\"read_back\":50,\"saved\":true,\"transport_succeeded\":true,\"value\":50,"
                 "\"verified\":true}\n",
             "",
             {"List", "SetVCP " + M0 + " 0x10 50", "GetVCP " + M0 + " 0x10", "SaveSettings " + M0}},
        Case{"adjust_saved",
             {"--json", "--save-settings", "adjust", "0", "brightness", "+10"},
             {},
             0,
             "{\"code\":16,\"feature\":\"brightness\",\"maximum\":100,\"monitor\":\"" + M0 +
                 "\",\"previous\":50,\"saved\":true,\"value\":60,\"written\":true}\n",
             "",
             {"List", "AdjustVCP " + M0 + " 0x10 write 60", "SaveSettings " + M0}},
        Case{"toggle_text_unchanged",
             {"--save-settings", "toggle", "1", "brightness", "50", "60"},
             {},
             0,
             M1 + " (brightness / 0x10): 50 -> 60\n",
             "",
             {"List", "AdjustVCP " + M1 + " 0x10 write 60", "SaveSettings " + M1}}),
    [](const auto& info) { return info.param.name; });

// A failed save fails the monitor, in the category of its cause.
TEST(Run, FailedSaveIsTheMonitorsFailure) {
  FakeTransport transport;
  transport.monitors = sampleMonitors();
  transport.saveError = ddc::kErrBusy;
  const RunOutcome outcome =
      runWith(transport, {"--json", "--save-settings", "set", "0", "brightness", "30"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "{\"category\":\"busy\",\"error\":\"operation failed: the value was sent, but saving "
            "the monitor's settings failed: monitor transport is busy\",\"kind\":\"runtime\"}\n");
}

TEST(Run, AdjustFailures) {
  const struct {
    support::Error FakeTransport::*slot;
    support::Error failure;
    std::string err;
    std::vector<std::string> calls;
  } cases[] = {
      {&FakeTransport::getError,
       ddcci::kErrUnsupportedVCP,
       "operation failed: DDC/CI VCP feature is unsupported\n",
       {"List", "AdjustVCP darwin:10AC:A0C4:12345678 0x10"}},
      {&FakeTransport::setError,
       ddc::kErrBusy,
       "operation failed: monitor transport is busy\n",
       {"List", "AdjustVCP darwin:10AC:A0C4:12345678 0x10 write 10"}},
  };
  for (const auto& c : cases) {
    FakeTransport transport;
    transport.monitors = sampleMonitors();
    transport.*c.slot = c.failure;
    const RunOutcome outcome = runWith(transport, {"adjust", "0", "brightness", "+10"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(transport.calls, c.calls);
  }
}

TEST(Run, FeaturesNeverTouchTheTransport) {
  FakeTransport transport;
  const RunOutcome text = runWith(transport, {"features"});
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out,
            "NAME\tVCP CODE\nbrightness\t0x10\ncontrast\t0x12\ncolor-preset\t0x14\n"
            "red-gain\t0x16\ngreen-gain\t0x18\nblue-gain\t0x1A\ninput\t0x60\nvolume\t0x62\n"
            "red-black-level\t0x6C\ngreen-black-level\t0x6E\nblue-black-level\t0x70\n"
            "mute\t0x8D\nsharpness\t0x87\ncontroller-id\t0xC8\npower\t0xD6\n"
            "picture-mode\t0xDC\nmccs-version\t0xDF\ninput-alt\t0xF4\n");
  const RunOutcome json = runWith(transport, {"--json", "features"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(
      json.out.rfind("[{\"name\":\"brightness\",\"code\":16,\"writable\":true,\"unsafe\":false,"
                     "\"continuous\":true,\"continuous_known\":true,\"readable\":true},{\"name\":"
                     "\"contrast\"",
                     0),
      0u);
  EXPECT_TRUE(
      json.out.ends_with("{\"name\":\"input-alt\",\"code\":244,\"writable\":true,"
                         "\"unsafe\":true,\"continuous\":false,\"continuous_known\":true,"
                         "\"readable\":false}]\n"))
      << json.out;
  EXPECT_TRUE(transport.calls.empty());
}

TEST(Run, EmptyListIsASuccess) {
  FakeTransport transport;
  // Nothing was asked of any monitor, so no command on all of them fails.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"get", "all", "brightness"},
        {"set", "all", "volume", "3"},
        {"adjust", "all", "contrast", "-5%"},
        {"caps", "all"}}) {
    const RunOutcome text = runWith(transport, words);
    EXPECT_EQ(text.status, 0) << words[0];
    EXPECT_EQ(text.out, "No external DDC/CI monitors were discovered.\n") << words[0];
    std::vector<std::string> inJSON = words;
    inJSON.insert(inJSON.begin(), "--json");
    const RunOutcome json = runWith(transport, inJSON);
    EXPECT_EQ(json.status, 0) << words[0];
    EXPECT_EQ(json.out, "[]\n") << words[0];
  }
  EXPECT_EQ(runWith(transport, {"list"}).out, "No external DDC/CI monitors were discovered.\n");
  EXPECT_EQ(runWith(transport, {"list"}, kChinese).out, "没有发现可用的外接 DDC/CI 显示器。\n");
  const RunOutcome json = runWith(transport, {"--json", "list"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out, "[]\n");
}

TEST(Run, LanguageChoice) {
  struct LanguageCase {
    std::vector<std::string> words;
    Environment environment;
    std::string err;
  };
  const std::vector<LanguageCase> cases = {
      {{"x"}, {{"LANG", "zh_TW.UTF-8"}}, "未知命令：x\n"},
      {{"x"}, {{"LANG", "C"}}, "unknown command: x\n"},
      {{"x"}, {}, "unknown command: x\n"},
      {{"x"}, {{"LC_ALL", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "未知命令：x\n"},
      {{"x"}, {{"LC_ALL", ""}, {"LANG", "zh"}}, "未知命令：x\n"},
      {{"--lang", "en", "x"}, {{"LC_ALL", "zh_CN.UTF-8"}}, "unknown command: x\n"},
      {{"--lang=", "x"}, {{"LC_ALL", "zh_CN.UTF-8"}}, "未知命令：x\n"},
      {{"--lang=zh-CN", "x"}, {}, "未知命令：x\n"},
      {{"--lang", "--json", "x"}, {}, "unknown command: x\n"},
  };
  for (const LanguageCase& c : cases) {
    FakeTransport transport;
    const RunOutcome outcome = runWith(transport, c.words, c.environment);
    EXPECT_EQ(outcome.err, c.err) << c.words.front();
    EXPECT_EQ(outcome.status, 2);
  }
}

TEST(Run, RuntimeFailuresAreCategorised) {
  struct FailureCase {
    std::string name;
    std::vector<std::string> words;
    support::Error FakeTransport::*slot;
    support::Error failure;
    std::string err;
  };
  const std::vector<FailureCase> cases = {
      {"list_busy",
       {"--json", "list"},
       &FakeTransport::listError,
       support::Errorf("%w: bus held", ddc::kErrBusy),
       "{\"category\":\"busy\",\"error\":\"operation failed: monitor transport is busy: bus held\","
       "\"kind\":\"runtime\"}\n"},
      {"get_timeout",
       {"--json", "get", "0", "brightness"},
       &FakeTransport::getError,
       support::Errorf("DDC/CI failed after 3 attempts: %w: %w", support::ErrDeadlineExceeded(),
                       ddc::kErrBusy),
       "{\"category\":\"timeout\",\"error\":\"operation failed: DDC/CI failed after 3 attempts: "
       "context deadline exceeded: monitor transport is busy\",\"kind\":\"runtime\"}\n"},
      {"get_unsupported_text",
       {"get", "0", "brightness"},
       &FakeTransport::getError,
       ddcci::kErrUnsupportedVCP,
       "operation failed: DDC/CI VCP feature is unsupported\n"},
      {"set_permission",
       {"--json", "set", "0", "brightness", "5"},
       &FakeTransport::setError,
       support::Errorf("lock DDC endpoint: %w", support::Error::FromErrno(EACCES)),
       "{\"category\":\"permission\",\"error\":\"operation failed: lock DDC endpoint: permission "
       "denied\",\"kind\":\"runtime\"}\n"},
      {"caps_protocol_escaped",
       {"--json", "caps", "1"},
       &FakeTransport::capabilitiesError,
       support::Errorf("%w: <bad> & worse", ddc::kErrProtocol),
       "{\"category\":\"protocol\",\"error\":\"operation failed: monitor protocol response is "
       "invalid: \\u003cbad\\u003e \\u0026 worse\",\"kind\":\"runtime\"}\n"},
      {"plain_error_is_transport",
       {"--json", "caps", "1"},
       &FakeTransport::capabilitiesError,
       support::Error::New("monitor transport is busy"),
       "{\"category\":\"transport\",\"error\":\"operation failed: monitor transport is busy\","
       "\"kind\":\"runtime\"}\n"},
  };
  for (const FailureCase& c : cases) {
    FakeTransport transport;
    transport.monitors = sampleMonitors();
    transport.*c.slot = c.failure;
    const RunOutcome outcome = runWith(transport, c.words);
    EXPECT_EQ(outcome.status, 1) << c.name;
    EXPECT_EQ(outcome.out, "") << c.name;
    EXPECT_EQ(outcome.err, c.err) << c.name;
  }
}

TEST(Run, OneDeadlineCoversTheWholeCommand) {
  FakeTransport transport;
  transport.monitors = sampleMonitors();
  const auto before = support::Clock::now();
  ASSERT_EQ(runWith(transport, {"--timeout", "1h30m", "get", "0", "brightness"}).status, 0);
  const auto after = support::Clock::now();
  ASSERT_EQ(transport.contexts.size(), 2u);
  const auto listDeadline = transport.contexts[0].Deadline();
  ASSERT_TRUE(listDeadline.has_value());
  EXPECT_GE(*listDeadline, before + std::chrono::minutes(90));
  EXPECT_LE(*listDeadline, after + std::chrono::minutes(90));
  EXPECT_EQ(transport.contexts[1].Deadline(), listDeadline);
  // The deadline is released when Run returns.
  EXPECT_TRUE(support::Is(transport.contexts[0].Err(), support::ErrCanceled()));
}

TEST(Run, DefaultTimeoutIsFiveSeconds) {
  FakeTransport transport;
  const auto before = support::Clock::now();
  ASSERT_EQ(runWith(transport, {"list"}).status, 0);
  const auto deadline = transport.contexts.at(0).Deadline();
  ASSERT_TRUE(deadline.has_value());
  EXPECT_GE(*deadline - before, std::chrono::seconds(5));
  EXPECT_LT(*deadline - before, std::chrono::seconds(6));
}

TEST(Run, HugeTimeoutSaturatesInsteadOfExpiring) {
  FakeTransport transport;
  transport.monitors = sampleMonitors();
  const RunOutcome outcome =
      runWith(transport, {"--timeout", "2562047h47m16.854775807s", "set", "0", "brightness", "5"});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(transport.calls.back(), "SetVCP darwin:10AC:A0C4:12345678 0x10 5");
}

TEST(Run, WritesDoNotStartAfterTheDeadline) {
  for (const std::string command : {"set", "adjust"}) {
    FakeTransport transport;
    transport.monitors = sampleMonitors();
    auto [ended, cancel] = support::Context::WithCancel(support::Context());
    cancel.Cancel();
    const std::string value = command == "set" ? "5" : "+5";
    const RunOutcome outcome =
        runWith(transport, {"--json", command, "0", "brightness", value}, {}, ended);
    EXPECT_EQ(outcome.status, 1) << command;
    EXPECT_EQ(outcome.err,
              "{\"category\":\"timeout\",\"error\":\"operation failed: context canceled\",\"kind\":"
              "\"runtime\"}\n")
        << command;
    EXPECT_EQ(transport.calls, std::vector<std::string>{"List"}) << command;
  }
}

// A stream whose every write fails.
class FailingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// A result that could not be written is a failure with a report, in JSON and in text.
TEST(Run, WriteFailureIsStatusOneWithAReport) {
  FakeTransport transport;
  transport.monitors = sampleMonitors();
  FailingBuffer buffer;
  const struct {
    std::vector<std::string> words;
    std::string err;
  } cases[] = {
      {{"--json", "list"},
       "{\"category\":\"transport\",\"error\":\"operation failed: write standard output: "
       "output error\",\"kind\":\"runtime\"}\n"},
      {{"list"}, "operation failed: write standard output: output error\n"},
  };
  for (const auto& c : cases) {
    std::ostream broken(&buffer);
    std::ostringstream err;
    EXPECT_EQ(cli::Run(support::Context(), c.words, broken, err, transport,
                       [](const std::string&) { return std::string(); }),
              1);
    EXPECT_EQ(err.str(), c.err);
  }
}

}  // namespace
}  // namespace lumra::testing
