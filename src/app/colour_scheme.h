// Whether the windows follow a dark or a light desktop. The desktop says so
// through its portal (org.freedesktop.appearance color-scheme); where no
// portal answers, a GTK theme named dark, or a platform theme whose palette
// is already dark, says so instead.
//
// Not for: the palette itself, nor asking the portal (ui/qt/look.h does
// both); this is only the choice, testable without a display.
#pragma once

#include <optional>
#include <string_view>

namespace norvelle {

enum class ColourScheme {
  kLight,  // the toolkit's own palette
  kDark,   // light text on dark windows
};

struct SchemeHints {
  std::optional<unsigned> portal;  // color-scheme: 0 no preference, 1 dark, 2 light; none: no answer
  std::string_view gtk_theme;      // $GTK_THEME, such as "Adwaita:dark"
  bool palette_dark = false;       // the platform theme's palette has dark windows
};

ColourScheme SchemeOf(const SchemeHints& hints);

}  // namespace norvelle
