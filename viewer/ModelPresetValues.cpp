#include "viewer/ModelPresetValues.h"

#include "platform/OptionsFile.h"
#include "platform/PrivateProfile.h"

namespace viewer {

std::optional<PresetValues> ModelPresets(const QString &model) {
  if (model.trimmed().isEmpty())
    return std::nullopt;
  const std::string file = OptionsFilePath();
  // No value holds a line break: this default tells a missing key from any text.
  const std::string missing = "\n";
  PresetValues presets{};
  bool any = false;
  for (const params::ParamInfo &p : params::Params) {
    if (p.key.empty())
      continue;
    const std::string text = GetPrivateProfileString(model.toStdString(), p.key, missing, file);
    if (text == missing)
      continue;
    bool ok = false;
    const int value = QString::fromStdString(text).trimmed().toInt(&ok);
    if (ok && value >= 0 && value <= 255) {
      presets[static_cast<size_t>(p.number - 1)] = value;
      any = true;
    }
  }
  return any ? std::optional<PresetValues>(presets) : std::nullopt;
}

} // namespace viewer
