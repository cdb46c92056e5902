#include "i18n/catalog.hpp"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>

#include "support/error.hpp"

namespace lumra::i18n {
namespace {

TEST(CatalogNew, ChoosesChineseOnlyForALeadingZh) {
  struct Case {
    std::string_view locale;
    std::string_view language;
  };
  const Case cases[] = {
      {"zh", "zh"},      {"zh-CN", "zh"}, {"zh_CN.UTF-8", "zh"}, {"ZH_tw", "zh"},
      {"zh-Hant", "zh"}, {"Zh", "zh"},    {"en_US.UTF-8", "en"}, {"C", "en"},
      {"POSIX", "en"},   {"", "en"},      {"cn", "en"},          {" zh", "en"},
      {"z", "en"},       {"\tzh", "en"},  {"en_ZH", "en"},       {"\xC4\xB0zh", "en"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(New(c.locale).Language, c.language) << "locale '" << c.locale << "'";
  }
}

// Every key both languages must hold.
constexpr std::string_view kKeys[] = {
    "usage_header",
    "usage_footer",
    "usage_get",
    "usage_set",
    "usage_adjust",
    "usage_capabilities",
    "unknown_command",
    "invalid_option",
    "missing_option",
    "invalid_timeout",
    "invalid_arguments",
    "unknown_feature",
    "invalid_value",
    "invalid_ioav_framing",
    "unsafe_required",
    "read_only",
    "discrete_values",
    "operation_failed",
    "no_monitors",
    "monitor_header",
    "connector_internal",
    "connector_virtual",
    "connector_other",
    "current_value",
    "current_discrete",
    "current_unknown",
    "write_ok",
    "adjust_ok",
    "adjust_unchanged",
    "feature_header",
    "ambiguous_monitor_name",
    "usage_toggle",
    "not_readable",
    "set_unchanged",
    "write_set",
    "read_back",
    "stopped_answering",
    "toggle_ok",
    "toggle_unchanged",
    "value_not_applied",
    "settings_not_saved",
    "wait_timed_out",
    "usage_save",
    "usage_restore",
    "profile_saved",
    "setting_left_out",
    "restore_skipped",
    "restore_nothing",
    "unreadable_profile",
    "unwritable_profile",
    "invalid_profile",
};

TEST(CatalogText, BothLanguagesHoldEveryKeyWithTheirOwnText) {
  static_assert(std::size(kKeys) == 51);
  const Catalog en{"en"};
  const Catalog zh{"zh"};
  for (std::string_view key : kKeys) {
    const std::string english = en.Text(key);
    const std::string chinese = zh.Text(key);
    EXPECT_NE(english, key) << key;
    EXPECT_NE(chinese, key) << key;
    // Every Chinese text differs from its English one, so equality means a fallback.
    EXPECT_NE(chinese, english) << key;
  }
}

TEST(CatalogText, FillsFormatsInBothLanguages) {
  struct Case {
    std::string_view language;
    std::string_view key;
    std::string got;
    std::string_view want;
  };
  const Case cases[] = {
      {"en", "current_value",
       Catalog{"en"}.Text("current_value", "brightness", "brightness", 16, 50, 100),
       "brightness (brightness / 0x10): 50 of 100"},
      {"zh", "current_value",
       Catalog{"zh"}.Text("current_value", "brightness", "brightness", 16, 50, 100),
       "brightness（brightness / 0x10）：50 / 100"},
      {"en", "current_discrete",
       Catalog{"en"}.Text("current_discrete", "darwin:1", "input-source", 0x60, 15),
       "darwin:1 (input-source / 0x60): 15"},
      {"zh", "current_discrete",
       Catalog{"zh"}.Text("current_discrete", "darwin:1", "input-source", 0x60, 15),
       "darwin:1（input-source / 0x60）：15"},
      {"en", "current_unknown", Catalog{"en"}.Text("current_unknown", "m", "vcp:0x05", 5, 7, 255),
       "m (vcp:0x05 / 0x05): current 7, raw maximum 255 (value kind unknown)"},
      {"zh", "current_unknown", Catalog{"zh"}.Text("current_unknown", "m", "vcp:0x05", 5, 7, 255),
       "m（vcp:0x05 / 0x05）：当前值 7，原始最大值 255（数值类型未知）"},
      {"en", "write_ok", Catalog{"en"}.Text("write_ok", "m", "contrast", 0x1AB, -3),
       "m (contrast / 0x1AB) command sent with value -3; the monitor value was not read back"},
      {"zh", "write_ok", Catalog{"zh"}.Text("write_ok", "m", "contrast", 0x12, 40),
       "m（contrast / 0x12）已发送值 40；未读回验证显示器状态"},
      {"en", "unsafe_required", Catalog{"en"}.Text("unsafe_required", "power-mode"),
       "writing power-mode is potentially disruptive; repeat with --unsafe after verifying the "
       "monitor model and value"},
      {"zh", "unsafe_required", Catalog{"zh"}.Text("unsafe_required", "power-mode"),
       "写入 power-mode 可能中断画面；请先核实显示器型号和值，再添加 --unsafe 重试"},
      {"en", "invalid_arguments", Catalog{"en"}.Text("invalid_arguments", "get"),
       "invalid arguments for get"},
      {"zh", "invalid_arguments", Catalog{"zh"}.Text("invalid_arguments", "get"),
       "get 的参数不正确"},
      {"zh", "missing_option", Catalog{"zh"}.Text("missing_option", "--lang"),
       "选项 --lang 需要一个值"},
      {"en", "monitor_header", Catalog{"en"}.Text("monitor_header"),
       "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR"},
      {"zh", "monitor_header", Catalog{"zh"}.Text("monitor_header"),
       "序号\tID\t名称\t后端\t模式\t接口"},
      {"zh", "feature_header", Catalog{"zh"}.Text("feature_header"), "名称\tVCP CODE"},
      {"en", "no_monitors", Catalog{"en"}.Text("no_monitors"),
       "No external DDC/CI monitors were discovered."},
      {"zh", "no_monitors", Catalog{"zh"}.Text("no_monitors"),
       "没有发现可用的外接 DDC/CI 显示器。"},
      {"zh", "connector_virtual", Catalog{"zh"}.Text("connector_virtual"), "虚拟"},
      {"en", "adjust_ok", Catalog{"en"}.Text("adjust_ok", "m", "volume", 0x62, 40, 50, 100),
       "m (volume / 0x62): 40 -> 50 of 100"},
      {"zh", "adjust_ok", Catalog{"zh"}.Text("adjust_ok", "m", "volume", 0x62, 40, 50, 100),
       "m（volume / 0x62）：40 -> 50 / 100"},
      {"en", "adjust_unchanged",
       Catalog{"en"}.Text("adjust_unchanged", "m", "volume", 0x62, 100, 100),
       "m (volume / 0x62): stays at 100 of 100"},
      {"zh", "adjust_unchanged",
       Catalog{"zh"}.Text("adjust_unchanged", "m", "volume", 0x62, 100, 100),
       "m（volume / 0x62）：保持 100 / 100"},
      {"en", "discrete_values", Catalog{"en"}.Text("discrete_values", "input"),
       "input takes discrete values; use set"},
      {"zh", "discrete_values", Catalog{"zh"}.Text("discrete_values", "input"),
       "input 只接受离散值；请改用 set"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.want) << c.language << " " << c.key;
  }
}

// The parts the command table puts together, as the usage reads in each language.
std::string UsageFromParts(const Catalog& catalog) {
  return catalog.Text("usage_header") + "\n  list\n  get " + catalog.Text("usage_get") +
         "\n  set " + catalog.Text("usage_set") + "\n  adjust " + catalog.Text("usage_adjust") +
         "\n  toggle " + catalog.Text("usage_toggle") + "\n  capabilities " +
         catalog.Text("usage_capabilities") + "\n  save " + catalog.Text("usage_save") +
         "\n  restore " + catalog.Text("usage_restore") + "\n  features\n\n" +
         catalog.Text("usage_footer");
}

TEST(CatalogText, UsageTextsAreExactAndEndWithoutLineFeed) {
  const std::string english =
      R"(Usage: Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] [--unsafe] [--verify] [--wait] <command>

Commands:
  list
  get <monitor> <feature|vcp:0xNN>
  set <monitor> <feature|vcp:0xNN> <value>
  adjust <monitor> <feature|vcp:0xNN> <+N|-N|+N%>
  toggle <monitor> <feature|vcp:0xNN> <value-a> <value-b>
  capabilities <monitor>
  save <monitor> [file|name|-]
  restore <file|name|-> [monitor]
  features

The monitor selector is an index from list, a full monitor ID, a name (or part of one), or all.
Disruptive features and raw VCP writes require --unsafe.
lumra --version prints the version; lumra help, --help or -h prints this text.)";
  const std::string chinese =
      R"(用法：Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] [--unsafe] [--verify] [--wait] <命令>

命令：
  list
  get <显示器> <功能|vcp:0xNN>
  set <显示器> <功能|vcp:0xNN> <值>
  adjust <显示器> <功能|vcp:0xNN> <+N|-N|+N%>
  toggle <显示器> <功能|vcp:0xNN> <值A> <值B>
  capabilities <显示器>
  save <显示器> [文件|名称|-]
  restore <文件|名称|-> [显示器]
  features

显示器参数可以是 list 返回的序号、完整 ID、名称（或名称的一部分）或 all。
可能中断画面的功能和原始 VCP 写入必须显式添加 --unsafe。
lumra --version 显示版本；lumra help、--help 或 -h 显示本说明。)";
  EXPECT_EQ(UsageFromParts(Catalog{"en"}), english);
  EXPECT_EQ(UsageFromParts(Catalog{"zh"}), chinese);
}

TEST(CatalogText, UnknownLanguageSpeaksEnglish) {
  for (std::string_view language : {"", "fr", "zh-CN", "EN"}) {
    const Catalog catalog{std::string(language)};
    EXPECT_EQ(catalog.Text("unknown_command", "bogus"), "unknown command: bogus") << language;
    EXPECT_EQ(catalog.Text("connector_internal"), "Internal") << language;
  }
}

TEST(CatalogText, KeyThatNoLanguageHoldsComesBackAsIs) {
  EXPECT_EQ(Catalog{"zh"}.Text("no_such_key", 5), "no_such_key");
  EXPECT_EQ(Catalog{"en"}.Text("%s"), "%s");
}

TEST(CatalogText, ErrorArgumentKeepsItsMessageUntranslated) {
  const support::Error err = support::Error::New("monitor not found: 3");
  EXPECT_EQ(Catalog{"zh"}.Text("operation_failed", err), "操作失败：monitor not found: 3");
  EXPECT_EQ(Catalog{"en"}.Text("operation_failed", err), "operation failed: monitor not found: 3");
}

}  // namespace
}  // namespace lumra::i18n
