#include "base/format_settings.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace base {
namespace {

// Sets LC_ALL for the test and restores it.
class ScopedLcAll {
public:
    explicit ScopedLcAll(const char* value) {
        if (const char* old = std::getenv("LC_ALL")) {
            saved_ = old;
        }
        setenv("LC_ALL", value, 1);
    }
    ~ScopedLcAll() {
        if (saved_) {
            setenv("LC_ALL", saved_->c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
    }

private:
    std::optional<std::string> saved_;
};

TEST(FormatSettings, ScopedSettingsAreRestored) {
    const FormatSettings before = CurrentFormatSettings();
    {
        ScopedFormatSettings scoped({",", "."});
        EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, ",");
        EXPECT_EQ(CurrentFormatSettings().ThousandSeparator, ".");
        {
            ScopedFormatSettings inner({"#", ""});
            EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, "#");
        }
        EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, ",");
    }
    EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, before.DecimalSeparator);
    EXPECT_EQ(CurrentFormatSettings().ThousandSeparator, before.ThousandSeparator);
}

TEST(FormatSettings, LoadsTheUserLocaleSeparators) {
    ScopedFormatSettings scoped({",", "'"});
    ScopedLcAll c_locale("C");
    LoadFormatSettingsFromLocale();
    EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, ".");
    EXPECT_EQ(CurrentFormatSettings().ThousandSeparator, "") << "the C locale has none";
}

TEST(FormatSettings, AMissingLocaleKeepsTheSettings) {
    ScopedFormatSettings scoped({",", "'"});
    ScopedLcAll missing("xx_NOWHERE.UTF-8");
    LoadFormatSettingsFromLocale();
    EXPECT_EQ(CurrentFormatSettings().DecimalSeparator, ",");
    EXPECT_EQ(CurrentFormatSettings().ThousandSeparator, "'");
}

} // namespace
} // namespace base
