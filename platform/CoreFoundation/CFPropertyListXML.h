// Checks on property-list data that both property-list readers (Core Foundation's and the
// Foundation layer's, both on libplist) make before libplist sees it.
#pragma once

#include <cstddef>

namespace cf::plist {

// Whether the <array> and <dict> elements of the text [begin, end) nest within `limit`.
// Tags inside comments are skipped; anything else odd is left to the parser. Counting too
// many (a tag inside CDATA) only refuses more.
bool XMLDepthWithin(const char *begin, const char *end, int limit);

// Whether a binary property list is one libplist reads safely: its offsets and references stay
// inside the data, its objects form no cycle, its containers nest within `limit` and expand to
// a bounded tree (libplist copies a shared object at every reference), and its strings and
// integers are read whole (no NUL in a string or key, no integer beyond 64 bits). When not,
// *why (if not null) receives a static text saying why.
bool BinaryStructureSound(const unsigned char *bytes, size_t size, int limit, const char **why);

}  // namespace cf::plist
