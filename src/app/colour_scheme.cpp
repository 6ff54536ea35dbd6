#include "app/colour_scheme.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace norvelle {

namespace {

// "Adwaita:dark", "Adwaita-dark", "Breeze-Dark": the variant names GTK and
// the themes use.
bool NamesDark(std::string_view theme) {
  std::string lower(theme);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.ends_with(":dark") || lower.ends_with("-dark");
}

}  // namespace

ColourScheme SchemeOf(const SchemeHints& hints) {
  if (hints.portal == 1u) return ColourScheme::kDark;
  if (hints.portal == 2u) return ColourScheme::kLight;
  // No preference, or no portal: what the theme shows.
  if (NamesDark(hints.gtk_theme) || hints.palette_dark) return ColourScheme::kDark;
  return ColourScheme::kLight;
}

}  // namespace norvelle
