#pragma once

#include <QString>

#include "text/text_types.h"

namespace corvelle {

// The window shows and edits QString (UTF-16); everything below it works on code-page-936 Text. These
// are the only two crossings, so the code page stays fixed whatever the locale is.
[[nodiscard]] QString ToQString(const Text& text);
[[nodiscard]] Text ToText(const QString& text);

}  // namespace corvelle
