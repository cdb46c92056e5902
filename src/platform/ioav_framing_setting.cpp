#include "platform/ioav_framing_setting.hpp"

#include "platform/native/ioav_framing.hpp"
#include "support/format.hpp"

namespace lumra::platform {

const support::Error kErrInvalidIOAVFraming =
    support::Error::New(std::string("invalid ") + native::kIOAVFramingVariable);

IOAVFramingSetting ReadIOAVFraming(const std::function<std::string(const std::string&)>& getenv) {
  IOAVFramingSetting setting{getenv(native::kIOAVFramingVariable), {}};
  // An empty value is as good as none: the bridge then chooses the framing per port.
  if (!setting.Value.empty() && !native::ParseIoavFraming(setting.Value)) {
    setting.Err = support::Errorf("%w: %s", kErrInvalidIOAVFraming, setting.Value);
  }
  return setting;
}

}  // namespace lumra::platform
