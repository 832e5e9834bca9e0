// The process-wide objects of the kit: the pixel formats and the root sharing context, made
// once and shared; the pool of six contexts handed out in turn, from one thread and from many.
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_Apple_CGL_OffscreenDrawable.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>
#include <vector>

namespace {

// The pool's members in hand-out order, starting wherever the cursor is.
std::vector<std::shared_ptr<NSOpenGLContext>> Hand(unsigned count) {
    std::vector<std::shared_ptr<NSOpenGLContext>> handed;
    for (unsigned i = 0; i < count; ++i) handed.push_back(NSOGLSharingContext::offscreenPoolContext());
    return handed;
}

}  // namespace

TEST(SharingContext, PixelFormatsAreTheProcessWideOnes) {
    const auto shared = NSOGLSharingContext::defaultSharedPixelFormat();
    const auto texture = NSOGLSharingContext::defaultTexturePixelFormat();
    const auto pbuffer = NSOGLSharingContext::defaultSharedPixelFormat(true);
    ASSERT_NE(shared, nullptr);
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(pbuffer, nullptr);
    EXPECT_EQ(NSOGLSharingContext::defaultSharedPixelFormat(false), shared);
    EXPECT_NE(pbuffer, shared);
    EXPECT_NE(texture, shared);
    EXPECT_EQ(NSOGLSharingContext::defaultSharedPixelFormat(), shared);  // the same object each time
    EXPECT_EQ(shared->CGLPixelFormatObj(), Apple_CGL::PixelFormatWindow());
    EXPECT_EQ(texture->CGLPixelFormatObj(), Apple_CGL::PixelFormatDisplay());
    EXPECT_EQ(pbuffer->CGLPixelFormatObj(), Apple_CGL::PixelFormatPBuffer());
}

TEST(SharingContext, RootIsMadeOnceForEveryThread) {
    std::vector<std::shared_ptr<NSOpenGLContext>> seen(8);
    std::vector<std::thread> threads;
    for (auto &slot : seen) threads.emplace_back([&slot] { slot = NSOGLSharingContext::rootSharingContext(); });
    for (std::thread &thread : threads) thread.join();
    const auto root = NSOGLSharingContext::rootSharingContext();
    ASSERT_NE(root, nullptr);
    for (const auto &context : seen) EXPECT_EQ(context, root);
    EXPECT_EQ(NSOGLSharingContext::defaultSharedContext(), root);
    EXPECT_EQ(root->CGLContextObj(), Apple_CGL::OffscreenDrawableFBO::SharedContext());
}

TEST(SharingContext, PoolHandsOutSixMembersInTurn) {
    const auto handed = Hand(13);
    const auto root = NSOGLSharingContext::rootSharingContext();
    std::set<NSOpenGLContext *> members;
    for (unsigned i = 0; i < 6; ++i) {
        ASSERT_NE(handed[i], nullptr);
        EXPECT_NE(handed[i], root);
        members.insert(handed[i].get());
    }
    EXPECT_EQ(members.size(), 6u);
    for (unsigned i = 6; i < handed.size(); ++i) EXPECT_EQ(handed[i], handed[i - 6]) << i;
}

// A texture made in a pool context is a texture of the root, and the other way round.
TEST(SharingContext, PoolSharesTheRoot) {
    const auto pool = NSOGLSharingContext::offscreenPoolContext();
    const auto root = NSOGLSharingContext::rootSharingContext();
    GLuint texture = 0;
    const uint32_t texel = 0xFF336699u;
    {
        const OpenGL::CGLContextStateLock scope(pool.get());
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &texel);
        glBindTexture(GL_TEXTURE_2D, 0);
        glFinish();
    }
    {
        const OpenGL::CGLContextStateLock scope(root.get());
        EXPECT_TRUE(glIsTexture(texture));
        uint32_t read = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, &read);
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_EQ(read, texel);
        glDeleteTextures(1, &texture);
    }
    CGLSetCurrentContext(nullptr);

    // A context made for the pool's use shares with the root too.
    const auto made = NSOGLSharingContext::createOffscreenContextObject(CGMainDisplayID());
    EXPECT_EQ(made->openGLSharingContextRole(), kNSOGLSharingContextRoleSharesRoot);
    EXPECT_EQ(made->rootGLContextObj(), root->CGLContextObj());
}

// Many threads taking contexts at once: every hand-out is one step of the one cursor, so the
// six members are handed out equally often and each thread sees them in cyclic order.
TEST(SharingContext, PoolIsHandedOutInTurnUnderConcurrency) {
    const auto start = Hand(6);  // members by position, from here on
    std::map<NSOpenGLContext *, unsigned> position;
    for (unsigned i = 0; i < 6; ++i) position[start[i].get()] = i;
    ASSERT_EQ(position.size(), 6u);

    constexpr unsigned kThreads = 8, kCalls = 60;
    std::vector<std::vector<unsigned>> seen(kThreads);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (unsigned i = 0; i < kCalls; ++i) {
                const auto context = NSOGLSharingContext::offscreenPoolContext();
                const auto found = position.find(context.get());
                seen[t].push_back(found != position.end() ? found->second : 99);
            }
        });
    for (std::thread &thread : threads) thread.join();

    unsigned counts[6] = {};
    for (const auto &calls : seen)
        for (const unsigned member : calls) {
            ASSERT_LT(member, 6u);
            ++counts[member];
        }
    for (const unsigned count : counts) EXPECT_EQ(count, kThreads * kCalls / 6);
    // After all those, the cursor is back where it started.
    EXPECT_EQ(NSOGLSharingContext::offscreenPoolContext(), start[0]);
}
