// qtzbuild: the composition build tool.
//
//   qtzbuild composition <source folder> <output.qtz> [--depfile <file>]
//       Builds <source folder>/composition.plist with its kernels into a .qtz file, checked
//       by the composition engine; the depfile (make syntax) lists every file read.
//   qtzbuild pack <Pack> <output.cpp> <version string> <version number> <file.qtz>...
//       Writes the C++ source of an effect pack holding the built compositions, in order.
//
// Exits with 1 and one line "qtzbuild: <file>: <reason>" on standard error on any failure,
// leaving no output file behind.
#include "QtzBuild.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using namespace qtzbuild;

namespace {

int Fail(const std::string &message) {
    std::fprintf(stderr, "qtzbuild: %s\n", message.c_str());
    return 1;
}

int Usage() {
    return Fail("usage: qtzbuild composition <source folder> <output.qtz> [--depfile <file>]\n"
                "       qtzbuild pack <Pack> <output.cpp> <version string> <version number> <file.qtz>...");
}

void RemoveOutput(const fs::path &path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// A path in a depfile: spaces, '#' and '$' escaped as make and ninja read them.
std::string DepfilePath(const fs::path &path) {
    std::string out;
    for (char c : path.string()) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

int BuildOne(const std::vector<std::string> &args) {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--depfile")) return Usage();
    const fs::path source = args[0], output = args[1];
    std::string qtz, error;
    std::vector<fs::path> dependencies;
    if (!BuildComposition(source, &qtz, &dependencies, &error)) {
        RemoveOutput(output);
        return Fail(error);
    }
    if (!WriteFileAtomically(output, qtz, &error)) return Fail(error);
    if (args.size() == 4) {
        std::string depfile = DepfilePath(output) + ":";
        for (const fs::path &d : dependencies) depfile += " \\\n  " + DepfilePath(fs::absolute(d));
        depfile += "\n";
        if (!WriteFileAtomically(args[3], depfile, &error)) {
            RemoveOutput(output);
            return Fail(error);
        }
    }
    return 0;
}

int BuildPack(const std::vector<std::string> &args) {
    if (args.size() < 4) return Usage();
    const std::string pack = args[0];
    const fs::path output = args[1];
    char *end = nullptr;
    const double number = std::strtod(args[3].c_str(), &end);
    if (args[3].empty() || *end) {
        RemoveOutput(output);
        return Fail("the version number \"" + args[3] + "\" is not a number");
    }
    std::vector<PackComposition> compositions;
    std::string error;
    for (size_t i = 4; i < args.size(); ++i) {
        PackComposition c;
        c.fileName = fs::path(args[i]).filename().string();
        if (!ReadWholeFile(args[i], &c.bytes, &error)) {
            RemoveOutput(output);
            return Fail(error);
        }
        compositions.push_back(std::move(c));
    }
    std::string source;
    if (!WritePackSource(pack, compositions, args[2], number, &source, &error)) {
        RemoveOutput(output);
        return Fail(output.string() + ": " + error);
    }
    if (!WriteFileAtomically(output, source, &error)) return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "composition") return BuildOne(args);
    if (command == "pack") return BuildPack(args);
    return Usage();
}
