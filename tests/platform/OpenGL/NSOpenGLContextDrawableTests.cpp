// The context object's drawable calls: detaching its pixel buffer and telling its virtual
// screen.
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>

#include <gtest/gtest.h>

TEST(NSOpenGLContextDrawable, ClearDrawableDetachesAndLetsThePixelBufferGo) {
    const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAPBuffer,
                                                  CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    ASSERT_EQ(CGLChoosePixelFormat(attributes, &format, &count), kCGLNoError);
    CGLContextObj cgl = nullptr;
    ASSERT_EQ(CGLCreateContext(format, nullptr, &cgl), kCGLNoError);
    CGLReleasePixelFormat(format);
    NSOpenGLContext context(cgl);
    CGLReleaseContext(cgl);

    EXPECT_EQ(context.currentVirtualScreen(), 0);
    auto pixelBuffer = NSOpenGLPixelBuffer::initWithTextureTarget(GL_TEXTURE_2D, GL_RGBA, 0, 32, 32);
    ASSERT_NE(pixelBuffer, nullptr);
    ASSERT_TRUE(context.setPixelBuffer(pixelBuffer, 0, 0, context.currentVirtualScreen()));
    EXPECT_EQ(CGLGetPBufferRetainCount(pixelBuffer->CGLPBufferObj()), 2u);  // the object's and the context's
    context.clearDrawable();
    EXPECT_EQ(context.pixelBuffer(), nullptr);
    EXPECT_EQ(pixelBuffer.use_count(), 1);
    EXPECT_EQ(CGLGetPBufferRetainCount(pixelBuffer->CGLPBufferObj()), 1u);
    CGLPBufferObj attached = nullptr;
    GLenum face = 0;
    GLint level = 0, screen = 0;
    EXPECT_EQ(CGLGetPBuffer(context.CGLContextObj(), &attached, &face, &level, &screen), kCGLNoError);
    EXPECT_EQ(attached, nullptr);
    context.clearDrawable();  // nothing attached: nothing to do

    NSOpenGLContext none(nullptr);
    none.clearDrawable();
    EXPECT_EQ(none.currentVirtualScreen(), 0);
}
