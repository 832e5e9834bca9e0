#include "QtzBuild.h"

#include "QFXPackTable.h"

#include <QuartzComposer/QCComposition.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <system_error>
#include <unistd.h>

namespace qtzbuild {

namespace fs = std::filesystem;

namespace {

// Kernel files are small texts; anything larger is a mistake.
constexpr uintmax_t kMaxKernelBytes = uintmax_t(1) << 20;

bool IsUtf8Text(const std::string &text) {
    // Checked through the writer's own rules: a one-string property list.
    std::string xml, error;
    return WritePropertyList(PlistValue::String(text), &xml, &error);
}

bool IsIdentifier(const std::string &name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

std::string CString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += char(c);
        else if (c < 0x20 || c >= 0x7F) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else out += char(c);
    }
    return out + "\"";
}

}  // namespace

bool ReadWholeFile(const fs::path &path, std::string *bytes, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return *error = "cannot read " + path.string(), false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) return *error = "cannot read " + path.string(), false;
    return true;
}

bool WriteFileAtomically(const fs::path &path, const std::string &bytes, std::string *error) {
    // The same bytes are left alone: what is built from the file need not be built again.
    std::string existing, ignored;
    std::error_code why;
    if (fs::is_regular_file(path, why) && ReadWholeFile(path, &existing, &ignored) && existing == bytes) return true;
    fs::path temporary = path;
    temporary += ".tmp" + std::to_string(getpid());
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file || !file.write(bytes.data(), std::streamsize(bytes.size())) || !file.flush()) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return *error = "cannot write " + path.string(), false;
        }
    }
    fs::rename(temporary, path, why);
    if (why) {
        fs::remove(temporary, why);
        return *error = "cannot write " + path.string(), false;
    }
    return true;
}

bool InlineKernels(PlistValue *composition, const fs::path &folder, std::vector<fs::path> *dependencies,
                   std::string *error) {
    PlistValue *rootPatch = composition->find("rootPatch");
    PlistValue *state = rootPatch ? rootPatch->find("state") : nullptr;
    PlistValue *nodes = state ? state->find("nodes") : nullptr;
    if (!nodes || !nodes->isArray()) return true;  // nothing to inline; the engine says what is missing
    for (size_t i = 0; i < nodes->items.size(); ++i) {
        PlistValue &node = nodes->items[i];
        PlistValue *nodeState = node.find("state");
        PlistValue *sourceFile = nodeState ? nodeState->find("sourceFile") : nullptr;
        if (!sourceFile) continue;
        const PlistValue *key = node.find("key");
        const PlistValue *className = node.find("class");
        const std::string name = "node \"" + (key && key->isString() ? key->text : std::to_string(i)) + "\"";
        if (!className || !className->isString() || className->text != "QCImageKernel")
            return *error = name + ": only QCImageKernel nodes take a \"sourceFile\"", false;
        if (!sourceFile->isString() || sourceFile->text.empty())
            return *error = name + ": \"sourceFile\" is not a file name", false;
        if (nodeState->find("source")) return *error = name + ": both \"source\" and \"sourceFile\"", false;
        const fs::path relative(sourceFile->text);
        if (relative.is_absolute())
            return *error = name + ": \"sourceFile\" " + sourceFile->text + " is not relative to the composition", false;
        const fs::path file = (folder / relative).lexically_normal();
        std::error_code why;
        if (!fs::is_regular_file(file, why))
            return *error = name + ": the kernel file " + file.string() + " does not exist", false;
        if (fs::file_size(file, why) > kMaxKernelBytes)
            return *error = name + ": the kernel file " + file.string() + " is too large", false;
        std::string text;
        if (!ReadWholeFile(file, &text, error)) return *error = name + ": " + *error, false;
        if (!IsUtf8Text(text))
            return *error = name + ": the kernel file " + file.string() + " is not UTF-8 text", false;
        dependencies->push_back(file);
        nodeState->remove("sourceFile");
        nodeState->set("source", PlistValue::String(std::move(text)));
    }
    return true;
}

bool BuildComposition(const fs::path &sourceFolder, std::string *qtz, std::vector<fs::path> *dependencies,
                      std::string *error) {
    const fs::path file = sourceFolder / "composition.plist";
    auto fail = [&](const std::string &why) {
        *error = file.string() + ": " + why;
        return false;
    };
    std::string text, why;
    if (!ReadWholeFile(file, &text, &why)) return fail("cannot be read");
    dependencies->push_back(file);
    PlistValue composition;
    if (!ReadPropertyList(text, &composition, &why)) return fail(why);
    if (!InlineKernels(&composition, sourceFolder, dependencies, &why)) return fail(why);
    std::string xml;
    if (!WritePropertyList(composition, &xml, &why)) return fail(why);
    // The engine is the judge of the vocabulary: what it refuses, the build refuses.
    if (!QCComposition::compositionWithBytes(xml.data(), xml.size(), &why))
        return fail("the composition engine refuses it: " + why);
    *qtz = std::move(xml);
    return true;
}

bool SymbolForFileName(const std::string &fileName, std::string *symbol, std::string *error) {
    const std::string extension = ".qtz";
    if (fileName.size() <= extension.size() || fileName.compare(fileName.size() - extension.size(), extension.size(), extension))
        return *error = "\"" + fileName + "\" is not a .qtz file name", false;
    std::string name = fileName.substr(0, fileName.size() - extension.size()) + "_qtz";
    if (!IsIdentifier(name))
        return *error = "\"" + fileName + "\" does not give a C identifier (" + name + ")", false;
    *symbol = std::move(name);
    return true;
}

bool WritePackSource(const std::string &packName, const std::vector<PackComposition> &compositions,
                     const std::string &versionString, double versionNumber, std::string *source, std::string *error) {
    if (!IsIdentifier(packName)) return *error = "the pack name \"" + packName + "\" is not a C identifier", false;
    if (!std::isfinite(versionNumber)) return *error = "a version number that is not a number", false;
    std::vector<std::string> symbols;
    std::set<std::string> seen;
    for (const PackComposition &c : compositions) {
        std::string symbol;
        if (!SymbolForFileName(c.fileName, &symbol, error)) return false;
        if (!seen.insert(symbol).second) return *error = "\"" + c.fileName + "\" is in the pack twice", false;
        if (c.bytes.size() > UINT32_MAX) return *error = "\"" + c.fileName + "\" is too large for the table", false;
        symbols.push_back(std::move(symbol));
    }

    std::string out;
    out += "// The compositions of the effect pack " + packName + ", generated by qtzbuild: do not edit.\n"
           "// Each is the composition file with the two 4-bit halves of every byte exchanged.\n"
           "#include <qtzbuild/QFXPackTable.h>\n\n"
           "#define QFX_EXPORTED extern \"C\" __attribute__((visibility(\"default\")))\n\n";
    for (size_t i = 0; i < compositions.size(); ++i) {
        std::string bytes = compositions[i].bytes;
        QFXSwapNibbles(reinterpret_cast<unsigned char *>(bytes.data()), bytes.size());
        // An empty array is not C++; an empty file keeps one byte that its length leaves out.
        out += "QFX_EXPORTED const unsigned char " + symbols[i] + "[" + std::to_string(std::max<size_t>(bytes.size(), 1)) +
               "] = {";
        for (size_t b = 0; b < bytes.size(); ++b) {
            if (b % 16 == 0) out += "\n   ";
            char hex[8];
            std::snprintf(hex, sizeof hex, " 0x%02x,", unsigned(uint8_t(bytes[b])));
            out += hex;
        }
        out += bytes.empty() ? "0};\n\n" : "\n};\n\n";
    }
    out += "QFX_EXPORTED const QFXCompositionRecord " + packName + "CompositionTable[] = {\n";
    for (size_t i = 0; i < compositions.size(); ++i)
        out += "    {" + CString(compositions[i].fileName) + ", " + symbols[i] + ", " +
               std::to_string(compositions[i].bytes.size()) + "u},\n";
    if (compositions.empty()) out += "    {nullptr, nullptr, 0u},\n";
    out += "};\n";
    out += "QFX_EXPORTED const uint32_t " + packName + "CompositionCount = " + std::to_string(compositions.size()) + "u;\n";
    out += "QFX_EXPORTED const unsigned char " + packName + "VersionString[] = " + CString(versionString) + ";\n";
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", versionNumber);
    out += "QFX_EXPORTED const double " + packName + "VersionNumber = " + number + ";\n";
    *source = std::move(out);
    return true;
}

}  // namespace qtzbuild
