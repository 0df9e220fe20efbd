// The user locale's number separators, read once at start-up and settable by tests.
// This is the one process-wide setting of the run-time helpers; it is read on any thread
// and written only before the threads start (start-up, or a test's set-up).
#pragma once

#include <string>

namespace base {

struct FormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
};

// The settings in force for every conversion and format.
FormatSettings& CurrentFormatSettings();

// Reads the separators of the user's locale (LC_NUMERIC / LANG) into CurrentFormatSettings.
void LoadFormatSettingsFromLocale();

// Sets the settings for the lifetime of the object and restores the previous ones (tests).
class ScopedFormatSettings {
public:
    explicit ScopedFormatSettings(FormatSettings settings);
    ~ScopedFormatSettings();
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

private:
    FormatSettings saved_;
};

} // namespace base
