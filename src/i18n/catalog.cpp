#include "i18n/catalog.hpp"

#include <cstddef>
#include <iterator>

#include "support/unicode_fold.hpp"

namespace lumra::i18n {

namespace {

struct Message {
  std::string_view Key;
  std::string_view Format;
};

struct Language {
  std::string_view Code;
  std::span<const Message> Messages;
};

// All data is constant, so any number of threads may read it without locking. The usage text
// is assembled by the command table from its header, each command's line and its footer.
// clang-format off
constexpr Message kEnglish[] = {
    {"usage_header", "Usage: Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] [--unsafe] [--verify] [--wait] <command>\n\nCommands:"},
    {"usage_footer", "The monitor selector is an index from list, a full monitor ID, a name (or part of one), or all.\nDisruptive features and raw VCP writes require --unsafe.\nlumra --version prints the version; lumra help, --help or -h prints this text."},
    {"usage_get", "<monitor> <feature|vcp:0xNN>"},
    {"usage_set", "<monitor> <feature|vcp:0xNN> <value>"},
    {"usage_adjust", "<monitor> <feature|vcp:0xNN> <+N|-N|+N%%>"},
    {"usage_toggle", "<monitor> <feature|vcp:0xNN> <value-a> <value-b>"},
    {"usage_capabilities", "<monitor>"},
    {"usage_save", "<monitor> [file|name|-]"},
    {"usage_restore", "<file|name|-> [monitor]"},
    {"profile_saved", "%s: %d settings saved to %s"},
    {"setting_left_out", "%s (%s / 0x%02X) left out of the profile: %s"},
    {"restore_skipped", "%s (%s / 0x%02X) left as it is: restoring %d needs --unsafe"},
    {"restore_nothing", "%s: the profile holds no settings to restore"},
    {"unreadable_profile", "cannot read profile %s"},
    {"unwritable_profile", "cannot write profile %s"},
    {"invalid_profile", "invalid profile %s"},
    {"unknown_command", "unknown command: %s"},
    {"invalid_option", "invalid option: %s"},
    {"missing_option", "option %s requires a value"},
    {"invalid_timeout", "invalid timeout: %s"},
    {"invalid_arguments", "invalid arguments for %s"},
    {"unknown_feature", "unknown feature: %s"},
    {"invalid_value", "invalid value: %s"},
    {"invalid_ioav_framing", "invalid LUMRA_IOAV_FRAMING: %s (use standard or ps190)"},
    {"unsafe_required", "writing %s is potentially disruptive; repeat with --unsafe after verifying the monitor model and value"},
    {"read_only", "%s is exposed as a read-only feature"},
    {"write_only", "%s is write-only: monitors do not report its value; read the current input with get input"},
    {"discrete_values", "%s takes discrete values; use set"},
    {"operation_failed", "operation failed: %s"},
    {"no_monitors", "No external DDC/CI monitors were discovered."},
    {"monitor_header", "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR"},
    {"connector_internal", "Internal"},
    {"connector_virtual", "Virtual"},
    {"connector_other", "Other"},
    {"current_value", "%s (%s / 0x%02X): %d of %d"},
    {"current_discrete", "%s (%s / 0x%02X): %d"},
    {"current_unknown", "%s (%s / 0x%02X): current %d, raw maximum %d (value kind unknown)"},
    {"write_ok", "%s (%s / 0x%02X) command sent with value %d; the monitor value was not read back"},
    {"adjust_ok", "%s (%s / 0x%02X): %d -> %d of %d"},
    {"adjust_unchanged", "%s (%s / 0x%02X): stays at %d of %d"},
    {"feature_header", "NAME\tVCP CODE"},
    {"not_readable", "%s is an action that cannot be read back, so it cannot be toggled or verified"},
    {"set_unchanged", "%s (%s / 0x%02X) already reads %d; nothing was sent"},
    {"write_set", "%s (%s / 0x%02X) set to %d"},
    {"read_back", ", read back %d"},
    {"stopped_answering", "; the monitor stopped answering, as it does after switching away (not confirmed)"},
    {"toggle_ok", "%s (%s / 0x%02X): %d -> %d"},
    {"toggle_unchanged", "%s (%s / 0x%02X): stays at %d"},
    {"value_not_applied", "%s (0x%02X) did not take the value: wrote %d, read back %d"},
    {"settings_not_saved", "the value was sent, but saving the monitor's settings failed: %s"},
    {"ambiguous_monitor_name", "monitor name \"%s\" matches %d monitors: %s; use the index or the ID"},
    {"wait_timed_out", "timed out after %s waiting for the monitor to answer; last attempt: %s"},
};

constexpr Message kChinese[] = {
    {"usage_header", "用法：Lumora [--json] [--lang en|zh-CN] [--save-settings] [--timeout 3s] [--unsafe] [--verify] [--wait] <命令>\n\n命令："},
    {"usage_footer", "显示器参数可以是 list 返回的序号、完整 ID、名称（或名称的一部分）或 all。\n可能中断画面的功能和原始 VCP 写入必须显式添加 --unsafe。\nlumra --version 显示版本；lumra help、--help 或 -h 显示本说明。"},
    {"usage_get", "<显示器> <功能|vcp:0xNN>"},
    {"usage_set", "<显示器> <功能|vcp:0xNN> <值>"},
    {"usage_adjust", "<显示器> <功能|vcp:0xNN> <+N|-N|+N%%>"},
    {"usage_toggle", "<显示器> <功能|vcp:0xNN> <值A> <值B>"},
    {"usage_capabilities", "<显示器>"},
    {"usage_save", "<显示器> [文件|名称|-]"},
    {"usage_restore", "<文件|名称|-> [显示器]"},
    {"profile_saved", "%s：已将 %d 项设置保存到 %s"},
    {"setting_left_out", "%s（%s / 0x%02X）未写入配置文件：%s"},
    {"restore_skipped", "%s（%s / 0x%02X）保持不变：恢复为 %d 需要 --unsafe"},
    {"restore_nothing", "%s：配置文件中没有可恢复的设置"},
    {"unreadable_profile", "无法读取配置文件 %s"},
    {"unwritable_profile", "无法写入配置文件 %s"},
    {"invalid_profile", "无效的配置文件 %s"},
    {"unknown_command", "未知命令：%s"},
    {"invalid_option", "无效选项：%s"},
    {"missing_option", "选项 %s 需要一个值"},
    {"invalid_timeout", "无效超时时间：%s"},
    {"invalid_arguments", "%s 的参数不正确"},
    {"unknown_feature", "未知功能：%s"},
    {"invalid_value", "无效数值：%s"},
    {"invalid_ioav_framing", "LUMRA_IOAV_FRAMING 无效：%s（可用 standard 或 ps190）"},
    {"unsafe_required", "写入 %s 可能中断画面；请先核实显示器型号和值，再添加 --unsafe 重试"},
    {"read_only", "%s 仅允许读取"},
    {"write_only", "%s 仅允许写入：显示器不回报它的值；请用 get input 读取当前输入源"},
    {"discrete_values", "%s 只接受离散值；请改用 set"},
    {"operation_failed", "操作失败：%s"},
    {"no_monitors", "没有发现可用的外接 DDC/CI 显示器。"},
    {"monitor_header", "序号\tID\t名称\t后端\t模式\t接口"},
    {"connector_internal", "内置"},
    {"connector_virtual", "虚拟"},
    {"connector_other", "其他"},
    {"current_value", "%s（%s / 0x%02X）：%d / %d"},
    {"current_discrete", "%s（%s / 0x%02X）：%d"},
    {"current_unknown", "%s（%s / 0x%02X）：当前值 %d，原始最大值 %d（数值类型未知）"},
    {"write_ok", "%s（%s / 0x%02X）已发送值 %d；未读回验证显示器状态"},
    {"adjust_ok", "%s（%s / 0x%02X）：%d -> %d / %d"},
    {"adjust_unchanged", "%s（%s / 0x%02X）：保持 %d / %d"},
    {"feature_header", "名称\tVCP CODE"},
    {"not_readable", "%s 是无法读回的动作，不能切换或验证"},
    {"set_unchanged", "%s（%s / 0x%02X）当前已是 %d；未发送任何命令"},
    {"write_set", "%s（%s / 0x%02X）已设为 %d"},
    {"read_back", "，读回 %d"},
    {"stopped_answering", "；显示器已停止应答，切换到其他输入后常会如此（未确认）"},
    {"toggle_ok", "%s（%s / 0x%02X）：%d -> %d"},
    {"toggle_unchanged", "%s（%s / 0x%02X）：保持 %d"},
    {"value_not_applied", "%s（0x%02X）未接受该值：写入 %d，读回 %d"},
    {"settings_not_saved", "数值已发送，但保存显示器设置失败：%s"},
    {"ambiguous_monitor_name", "显示器名称 \"%s\" 匹配到 %d 台显示器：%s；请改用序号或 ID"},
    {"wait_timed_out", "等待 %s 后显示器仍未应答，已超时；最后一次尝试：%s"},
};
// clang-format on

constexpr bool SameKeys(std::span<const Message> a, std::span<const Message> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].Key != b[i].Key) return false;
  }
  return true;
}
static_assert(std::size(kEnglish) == 52 && SameKeys(kEnglish, kChinese),
              "both languages hold the same 52 keys in the same order");

constexpr Language kLanguages[] = {{"en", kEnglish}, {"zh", kChinese}};

const Language* FindLanguage(std::string_view code) {
  for (const Language& language : kLanguages) {
    if (language.Code == code) return &language;
  }
  return nullptr;
}

const std::string_view* FindFormat(std::string_view code, std::string_view key) {
  const Language* language = FindLanguage(code);
  if (language == nullptr) return nullptr;
  for (const Message& message : language->Messages) {
    if (message.Key == key) return &message.Format;
  }
  return nullptr;
}

}  // namespace

std::string Catalog::TextArgs(std::string_view key,
                              std::span<const support::FormatArg> args) const {
  const std::string_view* format = FindFormat(Language, key);
  if (format == nullptr) format = FindFormat("en", key);
  if (format == nullptr) return std::string(key);
  return support::FormatArgs(*format, args);
}

Catalog New(std::string_view locale) {
  // Only ASCII letters can lower-case to "zh", so the ASCII-bound fold decides the same way
  // as a full Unicode lower-casing would.
  const std::string lower = support::FoldToASCIILower(locale);
  return Catalog{lower.starts_with("zh") ? "zh" : "en"};
}

}  // namespace lumra::i18n
