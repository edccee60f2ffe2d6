#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "ConfigTestSupport.h"
#include "common/base/TextEncoding.h"
#include "common/config/ConfigSchema.h"
#include "common/config/ConfigScreenRules.h"

namespace tarnix {
namespace {

using namespace config_test;

// Every remote computer has an address, so that naming one is no fault; each address has a 0
// part, so that it passes as a name in domain-name mode too.
ConfigRecord ValidRecord(ProgramKind kind) {
    TempFolder folder;
    WriteBytes(folder / "c.ini", JoinLines(kind == ProgramKind::Master ? MasterLines() : SlaveLines()));
    ConfigRecord record = ReadAndCheck(folder / "c.ini", kind).record;
    if (kind == ProgramKind::Master)
        for (std::size_t k = 2; k <= RemoteComputerCount; ++k)
            record.IPAdd[k] = "10.0.0." + std::to_string(k);
    return record;
}

// One value tried on a field, and whether it lies inside the field's limits.
struct Probe {
    std::string what;
    std::function<void(ConfigRecord&)> apply;
    bool inside;
};

std::vector<Probe> ProbesOf(const ConfigField& field) {
    const auto number = [&field](std::int32_t value, bool inside) {
        return Probe{std::to_string(value),
                     [&field, value](ConfigRecord& r) { StoreValue(field, std::to_string(value), r); },
                     inside};
    };
    const auto text = [&field](const std::string& value, bool domainNames, bool inside) {
        return Probe{(domainNames ? "domain name of " : "text of ") + std::to_string(CharacterCount(value)) +
                         " '" + value.substr(0, 12) + "'",
                     [&field, value, domainNames](ConfigRecord& r) {
                         StoreValue(*FindField("DName"), domainNames ? "2" : "1", r);
                         StoreValue(field, value, r);
                     },
                     inside};
    };
    const auto length = [](std::int32_t n) { return std::string(static_cast<std::size_t>(n), 'a'); };
    switch (field.kind) {
    case FieldKind::Number:
    case FieldKind::Choice:
        return {number(field.lowest - 1, false), number(field.lowest, true), number(field.highest, true),
                number(field.highest + 1, false)};
    case FieldKind::Flag: // a check box holds nothing else
        return {number(FlagClear, true), number(FlagSet, true)};
    case FieldKind::Text: {
        std::vector<Probe> probes;
        if (field.lowest > 0) probes.push_back(text(length(field.lowest - 1), false, false));
        probes.push_back(text(length(field.lowest), false, field.lowest > 0 || !field.required));
        probes.push_back(text(length(field.highest), false, true));
        probes.push_back(text(length(field.highest + 1), false, false));
        return probes;
    }
    case FieldKind::Address: {
        std::vector<Probe> probes{text("10.0.0.9", false, true),
                                  text("10.0.0.256", false, false),
                                  text(" 10.0.0.9", false, false),
                                  text(length(field.highest), true, true),
                                  text(length(field.highest + 1), true, false),
                                  text("10.1.1.5", true, false)};
        if (field.required) probes.push_back(text("", false, false));
        return probes;
    }
    }
    return {};
}

// The start-up check and the screen hold every field to the same limits: a value one refuses,
// or takes as not yet set up, the other refuses too.
TEST(ConfigSchema, TheFilesCheckAndTheScreensCheckAgreeAtEveryLimit) {
    for (ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        const ConfigRecord valid = ValidRecord(kind);
        for (const ConfigField* field : FieldsOf(kind)) {
            for (const Probe& probe : ProbesOf(*field)) {
                SCOPED_TRACE(std::string(ProgramTitleOf(kind)) + " " + std::string(field->key) + " " +
                             probe.what);
                ConfigRecord record = valid;
                probe.apply(record);
                const ConfigScreenValues shown = ScreenValuesOf(kind, record);
                bool unconfigured = false;
                const bool fileRefuses =
                    ValidateConfiguration(kind, record, unconfigured).has_value() || unconfigured;
                const FieldCheck screen =
                    CheckScreenFields(kind, shown, [](const std::string&) { return true; });
                EXPECT_EQ(fileRefuses, !probe.inside);
                EXPECT_EQ(screen.violations > 0, !probe.inside);
                if (!probe.inside && field->screen.label) {
                    EXPECT_NE(
                        std::find(screen.highlighted.begin(), screen.highlighted.end(), *field->screen.label),
                        screen.highlighted.end());
                }
            }
        }
    }
}

// The installed files, read as the programs read them, keep each key in its section and within
// its limits.
TEST(ConfigSchema, TheShippedFilesFollowIt) {
    for (ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        const auto file = std::filesystem::path(TARNIX_SOURCE_DIR) / "dist" / ConfigFileName(kind);
        SCOPED_TRACE(file.string());
        const ReadBack r = ReadAndCheck(file, kind);
        ASSERT_FALSE(r.readBox);
        ASSERT_FALSE(r.checkBox);
        std::map<std::string, std::string> sectionOf;
        std::string section;
        const std::string bytes = ReadBytes(file);
        for (std::size_t start = 0; start < bytes.size();) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            std::string line = bytes.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.starts_with('['))
                section = line;
            else if (const std::size_t equals = line.find('='); equals != std::string::npos && line[0] != '#')
                sectionOf[line.substr(0, equals)] = section;
            start = end + 1;
        }
        EXPECT_EQ(sectionOf.size(), FieldsOf(kind).size());
        for (const ConfigField* field : FieldsOf(kind)) {
            SCOPED_TRACE(std::string(field->key));
            EXPECT_EQ(sectionOf[std::string(field->key)],
                      SectionLines[static_cast<std::size_t>(field->section)]);
            if (HoldsNumber(*field)) {
                EXPECT_GE(StoredNumber(*field, r.record), field->lowest);
                EXPECT_LE(StoredNumber(*field, r.record), field->highest);
            } else if (field->kind == FieldKind::Text) {
                EXPECT_LE(CharacterCount(StoredText(*field, r.record)),
                          static_cast<std::size_t>(field->highest));
            }
        }
    }
}

// The range notes are the screen's texts as users have always read them.
TEST(ConfigSchema, GivesTheScreensRangeNotes) {
    const std::pair<const char*, const char*> notes[] = {
        {"Port1", "(min 1024, max 65532)"},
        {"CPUDelay", "seconds (min 5, max 600)"},
        {"StartDelay", "seconds (min 1, max 3600)"},
        {"ShutTime", "seconds (min 2, max 600)"},
        {"LogLevel", "(Setting this to full will generate big log files)"},
        {"LogName", "(Between 8 and 20 characters)"},
        {"LogPath", "(Must exist and be between 1 and 99 characters plus '\\')"},
    };
    for (const auto& [key, note] : notes)
        EXPECT_EQ(HintOf(*FindField(key)), note) << key;
}

} // namespace
} // namespace tarnix
