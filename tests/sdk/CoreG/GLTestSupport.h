// Helpers of the OpenGL tests of the graphics library: contexts of their own, the debug log
// sent to a file the test reads, and rendering checks.
#pragma once

#include <CoreX/CoreMachDebugLog.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/TestFolders.h"

namespace coreg_test {

// A new context of the window pixel format (owned by the caller).
inline CGLContextObj NewContext(CGLContextObj share = nullptr) {
    const CGLPixelFormatAttribute attributes[] = {kCGLPFADoubleBuffer, kCGLPFAColorSize, CGLPixelFormatAttribute(24),
                                                  CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    EXPECT_EQ(CGLChoosePixelFormat(attributes, &format, &count), kCGLNoError);
    CGLContextObj context = nullptr;
    EXPECT_EQ(CGLCreateContext(format, share, &context), kCGLNoError);
    CGLReleasePixelFormat(format);
    return context;
}

// Sends the debug log to a file of its own while alive, and reads it.
class DebugLogCapture {
public:
    DebugLogCapture() : mSavedOutput(CoreMachDebugLogGetUseLogger()), mSavedFileName(g_CoreMachDebug_LogFileName) {
        const char *state = std::getenv("XDG_STATE_HOME");
        const std::string logs = std::string(state != nullptr ? state : "") + "/Logs";
        for (size_t slash = logs.find('/', 1);; slash = logs.find('/', slash + 1)) {
            ::mkdir(logs.substr(0, slash).c_str(), 0700);
            if (slash == std::string::npos) break;
        }
        mPath = logs + "/CoreGTests.log";
        ::unlink(mPath.c_str());
        g_CoreMachDebug_LogFileName = "CoreGTests.log";
        CoreMachDebugLogResetFilePath();
        CoreMachDebugLogSetUseLogger(kCoreLogOutput_File);
    }
    ~DebugLogCapture() {
        CoreMachDebugLogSetUseLogger(mSavedOutput);
        g_CoreMachDebug_LogFileName = mSavedFileName;
        CoreMachDebugLogResetFilePath();
        ::unlink(mPath.c_str());
    }
    DebugLogCapture(const DebugLogCapture &) = delete;
    DebugLogCapture &operator=(const DebugLogCapture &) = delete;

    std::string Text() const { return lumora::test::ReadFile(mPath); }
    void Clear() const { ::unlink(mPath.c_str()); }

private:
    kCoreLogOutput mSavedOutput;
    const char *mSavedFileName;
    std::string mPath;
};

// A test with a context of its own current, and nothing current afterwards.
class GLContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        mContext = NewContext();
        ASSERT_NE(mContext, nullptr);
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    }
    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        CGLReleaseContext(mContext);
    }
    CGLContextObj mContext = nullptr;
};

// The RGBA bytes of a pixel of the current read framebuffer, as 0xAABBGGRR.
inline uint32_t PixelAt(int x, int y) {
    uint32_t pixel = 0;
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return pixel;
}

inline size_t Count(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace coreg_test
