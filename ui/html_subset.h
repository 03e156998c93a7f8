// The HTML subset of the program's labels and alert pop-up, turned into rich text that
// the toolkit may render. Chat lines carry text typed by any listener, so only five tags
// ever act; everything else is shown exactly as it was written.
//
// Tags that act, in any letter case, with optional blanks before the closing ">":
//   <b>  </b>  <br> (also <br/> and <br />)  </font>
//   <font color=VALUE>: one attribute, `color`, blanks allowed around "="; VALUE in double
//   quotes, single quotes or bare; VALUE is a colour name (1 to 20 ASCII letters) or
//   "#rgb" / "#rrggbb". Any other attribute, a second attribute, an empty or malformed
//   value leaves the whole tag literal.
// Everything else (other tags, entities such as "&amp;", a stray "<" or ">") shows as the
// characters it is made of: the output escapes "<", ">", "&" and '"'.
// Structure: opening tags nest at most kMaxHtmlSubsetDepth deep; deeper ones, and their
// closing tags, are dropped. A closing tag closes the innermost open element of its kind
// and reopens the elements that were opened inside it; a closing tag with nothing to close
// stays literal. Whatever is open at the end is closed, so the output never leaks markup
// into text that follows it.
//
// Output tags are exactly "<b>", "</b>", "<br>", "<font color=\"VALUE\">" and "</font>"
// (VALUE lower-cased), properly nested.
//
// Pure functions over UTF-8; no toolkit, safe from any thread. Bytes that are not ASCII
// pass through unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvira::ui {

inline constexpr std::size_t kMaxHtmlSubsetDepth = 32;

std::string HtmlSubsetToRichText(std::string_view text);

}  // namespace kalvira::ui
