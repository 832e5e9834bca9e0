#include <OpenGL/CGLPixelStore.h>

#include <OpenGL/glext.h>

#include <initializer_list>

CGLPixelStoreScope::CGLPixelStoreScope(Direction directions, GLint rowLength, GLint alignment)
    : mDirections(directions) {
    const bool pack = (directions & kPack) != 0;
    const bool unpack = (directions & kUnpack) != 0;
    if (pack) glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &mPackBuffer);
    if (unpack) glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &mUnpackBuffer);
    if (mPackBuffer != 0) glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (mUnpackBuffer != 0) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    if (pack) {
        for (const GLenum name : {GL_PACK_SWAP_BYTES, GL_PACK_LSB_FIRST, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS,
                                  GL_PACK_IMAGE_HEIGHT, GL_PACK_SKIP_IMAGES})
            glPixelStorei(name, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    }
    if (unpack) {
        for (const GLenum name : {GL_UNPACK_SWAP_BYTES, GL_UNPACK_LSB_FIRST, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS,
                                  GL_UNPACK_IMAGE_HEIGHT, GL_UNPACK_SKIP_IMAGES})
            glPixelStorei(name, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    }
}

CGLPixelStoreScope::~CGLPixelStoreScope() {
    glPopClientAttrib();
    if (mPackBuffer != 0) glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(mPackBuffer));
    if (mUnpackBuffer != 0) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, GLuint(mUnpackBuffer));
}
