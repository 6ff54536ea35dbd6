// The output profiles: the byte-exact HTML 4.01 Transitional page (the
// default) and an HTML5 page with CSS in place of presentational markup.
//
// Both profiles run the same element and tag logic; a profile only picks
// which rendering of a tag, a cell or a listing is written (see tags.h,
// cpp_source.h). This module holds what the HTML5 page adds around that: the
// <style> block of the classes its renderings use, and the two header
// placeholders "<lang_rep>" and "<style_rep>", which only the HTML5 profile
// fills (a legacy header keeps them as written).
#pragma once

#include <string>
#include <string_view>

#include "base/str.h"
#include "rules/listing_colours.h"

namespace norvelle {

enum Profile : int {
  kHtml401 = 0,  // HTML 4.01 Transitional, byte for byte as it always was
  kHtml5 = 1,    // <!DOCTYPE html>, CSS classes and styles
};

// The class of a listing colour in the HTML5 page: "src-keyword", ...
std::string_view ListingClass(ListingColour c);

// The <style> block: centring, big text, unbroken listings and one class per
// listing colour, from the colours given (those of the rules a run starts with).
std::string StyleBlock(const ListingColours& colours);

// Fills "<lang_rep>" with lang and "<style_rep>" with style in the header;
// a header without "<style_rep>" gets the style right before its "</head>".
void FinishHtml5Header(CStr& header, std::string_view lang, std::string_view style);

}  // namespace norvelle
