#pragma once
// Core text is UTF-8; Qt's is QString. The conversion happens here, at the shell's edge.

#include <QString>

#include <string_view>

namespace vm31::qt {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace vm31::qt
