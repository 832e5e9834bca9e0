// Checks on XML property-list text that both property-list readers (Core Foundation's and
// the Foundation layer's, both on libplist) make before libplist sees the text.
#pragma once

namespace cf::plist {

// Whether the <array> and <dict> elements of the text [begin, end) nest within `limit`.
// Tags inside comments are skipped; anything else odd is left to the parser. Counting too
// many (a tag inside CDATA) only refuses more.
bool XMLDepthWithin(const char *begin, const char *end, int limit);

}  // namespace cf::plist
