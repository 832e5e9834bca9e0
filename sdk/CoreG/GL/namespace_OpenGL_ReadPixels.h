// Pixels read back from OpenGL made into the system's ARGB layout.
#pragma once

namespace OpenGL {

// Converts, in place, `rows` rows of `rowBytes` bytes as glReadPixels gives them with
// GL_BGRA / GL_UNSIGNED_INT_8_8_8_8_REV (bytes B,G,R,A per pixel) into bytes A,R,G,B.
// rowBytes / 4 pixels per row; bytes past the last whole pixel of a row are left alone.
//   mirrored:       every row reversed left to right, and the alpha replaced by 255.
//   flipVertically: the row order reversed too (row i and row rows - 1 - i exchanged).
// Works through one scan-line buffer taken with malloc for the call; when it cannot be had
// the failure is reported as a VERIFY line and the pixels are left as they are. Null pixels,
// no rows or rows narrower than one pixel change nothing.
void SwizzleFramebufferToARGB(unsigned char *pixels, int rows, unsigned rowBytes, bool flipVertically,
                              bool mirrored);

}  // namespace OpenGL

bool import_namespace_OpenGL_ReadPixels();
