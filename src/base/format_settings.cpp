#include "base/format_settings.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace base {

FormatSettings& CurrentFormatSettings() {
    static FormatSettings settings;
    return settings;
}

void LoadFormatSettingsFromLocale() {
    // A locale object of its own: the process's C locale is Qt's to change, and reading it
    // here would make the result depend on who ran first.
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return; // the user's locale is not installed: keep what we have
    }
    FormatSettings& settings = CurrentFormatSettings();
    const char* decimal = nl_langinfo_l(RADIXCHAR, locale);
    const char* thousands = nl_langinfo_l(THOUSEP, locale);
    if (decimal != nullptr && *decimal != '\0') {
        settings.DecimalSeparator = decimal;
    }
    // The C and POSIX locales have no thousands separator; grouping is then left out.
    settings.ThousandSeparator = thousands != nullptr ? thousands : "";
    freelocale(locale);
}

ScopedFormatSettings::ScopedFormatSettings(FormatSettings settings)
    : saved_(CurrentFormatSettings()) {
    CurrentFormatSettings() = std::move(settings);
}

ScopedFormatSettings::~ScopedFormatSettings() {
    CurrentFormatSettings() = std::move(saved_);
}

} // namespace base
