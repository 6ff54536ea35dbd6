// The choice between the dark and the light look from what the desktop says.
#include "app/colour_scheme.h"

#include <gtest/gtest.h>

namespace norvelle {
namespace {

TEST(ColourSchemeTest, PortalFirstThenTheTheme) {
  struct Case {
    std::optional<unsigned> portal;
    const char* gtk_theme;
    bool palette_dark;
    ColourScheme want;
  };
  const Case cases[] = {
      {std::nullopt, "", false, ColourScheme::kLight},
      {1u, "", false, ColourScheme::kDark},
      {2u, "Adwaita:dark", true, ColourScheme::kLight},  // the portal's word holds
      {0u, "", false, ColourScheme::kLight},
      {0u, "Adwaita:dark", false, ColourScheme::kDark},   // no preference: the theme's
      {std::nullopt, "Adwaita-dark", false, ColourScheme::kDark},
      {std::nullopt, "Breeze-Dark", false, ColourScheme::kDark},
      {std::nullopt, "Adwaita", false, ColourScheme::kLight},
      {std::nullopt, "darkness", false, ColourScheme::kLight},
      {std::nullopt, "", true, ColourScheme::kDark},
      {7u, "", false, ColourScheme::kLight},  // a value the portal may add later
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.gtk_theme) + " portal " + (c.portal ? std::to_string(*c.portal) : "none"));
    EXPECT_EQ(SchemeOf({c.portal, c.gtk_theme, c.palette_dark}), c.want);
  }
}

}  // namespace
}  // namespace norvelle
