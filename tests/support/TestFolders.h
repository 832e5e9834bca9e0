// Test folders: every test program runs with HOME and the XDG folders inside one fresh
// temporary folder, removed when the program ends, so no test reads or writes the
// developer's own settings.
#pragma once

#include <string>

namespace lumora::test {

// The fresh folder that HOME points at for this test program.
const std::string &HomeFolder();

// Set once by the test main before any test runs.
void SetHomeFolder(const std::string &home);

// A new empty folder below HomeFolder(), removed with its contents when destroyed.
class ScopedFolder {
public:
    explicit ScopedFolder(const std::string &stem = "folder");
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder &) = delete;
    ScopedFolder &operator=(const ScopedFolder &) = delete;

    const std::string &path() const { return mPath; }
    std::string file(const std::string &name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

// Removes a file or a folder with everything below it; true when nothing is left.
bool RemoveTree(const std::string &path);

// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string &path);

// Writes a file in one go; false on any error.
bool WriteFile(const std::string &path, const std::string &content);

}  // namespace lumora::test
