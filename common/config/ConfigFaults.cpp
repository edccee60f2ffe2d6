#include "common/config/ConfigFaults.h"

#include <limits>

#include "common/config/ConfigSchema.h"

namespace tarnix {

NumberLimits LimitsOf(std::string_view key) {
    if (const ConfigField* field = FindField(key); field != nullptr && HoldsNumber(*field))
        return {key, field->lowest, field->highest};
    return {key, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
}

std::string MustBeText(const NumberLimits& limits) {
    return "it must be from " + std::to_string(limits.lowest) + " to " + std::to_string(limits.highest);
}

const KeySource* SourceOf(const ConfigRecord& record, std::string_view key) {
    const auto found = record.readFrom.find(key);
    return found == record.readFrom.end() ? nullptr : &found->second;
}

std::string KeyAndLine(const ConfigRecord& record, std::string_view key) {
    const KeySource* source = SourceOf(record, key);
    std::string text(key);
    if (source != nullptr) text += " (line " + std::to_string(source->line) + ")";
    return text;
}

} // namespace tarnix
