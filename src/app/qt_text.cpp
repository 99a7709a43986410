#include "app/qt_text.h"

#include "text/encoding.h"

namespace corvelle {

QString ToQString(const Text& text) {
  return QString::fromStdU16String(TextToUtf16(text));
}

Text ToText(const QString& text) {
  return Utf16ToText(text.toStdU16String());
}

}  // namespace corvelle
