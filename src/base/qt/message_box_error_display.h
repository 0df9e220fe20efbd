// The program's error display: a modal message box with the error icon and a single OK
// button, owned by the active window. User-interface thread only.
#pragma once

#include "base/error_display.h"

namespace base {

class MessageBoxErrorDisplay : public ErrorDisplay {
public:
    void Show(const std::string& caption, const std::string& text) override;
};

} // namespace base
