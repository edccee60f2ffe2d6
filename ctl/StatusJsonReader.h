#pragma once

#include <QString>

#include <optional>

#include "common/program/ProgramStatus.h"

namespace tarnix {

// Reads back the JSON that StatusReport::Json writes (the service's Status() answer), so that
// tarnixctl renders the text from the same facts. Nothing when it is not such an object.
std::optional<ProgramStatus> StatusFromJson(const QString& json);

} // namespace tarnix
