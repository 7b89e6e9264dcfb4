// Types the custom controls share: alignment and the conversion from Windows BGR colour values.
#pragma once

#include <QColor>
#include <cstdint>

namespace korvel {

// Where a control puts its caption.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// The colour tables give Windows values 0x00BBGGRR: BgrColor(10179597) is RGB #0D549B.
inline QColor BgrColor(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace korvel
