#include "CIKernelTranslator.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <set>

namespace CoreImage {

bool operator==(const CIKernelParameter &a, const CIKernelParameter &b) {
    return a.name == b.name && a.kind == b.kind;
}

namespace {

// The most shader text one kernel text may give, all its kernels together.
constexpr size_t kMaxShaderBytes = size_t(32) << 20;

enum class TokenType { Identifier, Number, Punct };

struct Token {
    TokenType type;
    size_t begin;
    size_t end;
    int line;
};

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// CR LF and lone CR become LF, so that the shader and the text count lines alike.
std::string NormaliseNewlines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Tokens outside comments; an unterminated comment is reported at its start.
std::optional<CIKernelError> Tokenize(const std::string &text, std::vector<Token> &tokens) {
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const int start = line;
            const size_t close = text.find("*/", i + 2);
            if (close == std::string::npos) return CIKernelError{start, "unterminated comment"};
            line += int(std::count(text.begin() + long(i), text.begin() + long(close), '\n'));
            i = close + 2;
        } else if (IsIdentStart(c)) {
            const size_t begin = i;
            while (i < text.size() && IsIdentChar(text[i])) ++i;
            tokens.push_back({TokenType::Identifier, begin, i, line});
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
                   (c == '.' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) != 0)) {
            const size_t begin = i;
            while (i < text.size() && (IsIdentChar(text[i]) || text[i] == '.')) ++i;
            tokens.push_back({TokenType::Number, begin, i, line});
        } else {
            tokens.push_back({TokenType::Punct, i, i + 1, line});
            ++i;
        }
    }
    return std::nullopt;
}

struct KernelRange {
    CIKernelSource kernel;
    size_t begin = 0;       // offset of `kernel`
    size_t headerEnd = 0;   // offset after `)`
    size_t end = 0;         // offset after the closing `}`
};

struct Edit {
    size_t begin;
    size_t end;
    std::string replacement;
};

// The text of [begin, end) reduced to its newlines.
std::string NewlinesOf(const std::string &text, size_t begin, size_t end) {
    return std::string(size_t(std::count(text.begin() + long(begin), text.begin() + long(end), '\n')), '\n');
}

const char *GLSLType(CIKernelParameterKind kind) {
    switch (kind) {
    case CIKernelParameterKind::Float: return "float";
    case CIKernelParameterKind::Vec2: return "vec2";
    case CIKernelParameterKind::Vec3: return "vec3";
    case CIKernelParameterKind::Vec4:
    case CIKernelParameterKind::Color: return "vec4";
    case CIKernelParameterKind::Sampler:
    case CIKernelParameterKind::TableSampler: return "sampler2DRect";
    }
    return "float";
}

const char *kPrelude = R"(vec2 destCoord() { return gl_FragCoord.xy + ci_destOrigin; }
vec4 premultiply(vec4 c) { return vec4(c.rgb * c.a, c.a); }
vec4 unpremultiply(vec4 c) { return c.a > 0.0 ? vec4(c.rgb / c.a, c.a) : c; }
float compare(float x, float y, float z) { return x < 0.0 ? y : z; }
vec2 compare(vec2 x, vec2 y, vec2 z) { return mix(z, y, vec2(lessThan(x, vec2(0.0)))); }
vec3 compare(vec3 x, vec3 y, vec3 z) { return mix(z, y, vec3(lessThan(x, vec3(0.0)))); }
vec4 compare(vec4 x, vec4 y, vec4 z) { return mix(z, y, vec4(lessThan(x, vec4(0.0)))); }
)";

// Samplers are numbered; a sampler parameter's name stands for its number (a constant), and
// the sampler functions pick the texture by a chain the compiler folds away.
std::string SamplerFunctions(const std::vector<const CIKernelParameter *> &samplers) {
    std::string out;
    // A kernel without samplers still gets the functions, for helpers that take samplers.
    auto chain = [&](const std::string &signature, const std::string &returnType,
                     const auto &bodyOf) {
        out += returnType + " " + signature + " {\n";
        if (samplers.empty()) out += "  return " + returnType + "(0.0);\n";
        for (size_t i = 0; i < samplers.size(); ++i) {
            if (i + 1 < samplers.size()) out += "  if (s == " + std::to_string(i) + ") ";
            else out += "  ";
            out += "return " + bodyOf(*samplers[i]) + ";\n";
        }
        out += "}\n";
    };
    for (const CIKernelParameter *p : samplers) {
        const std::string e = p->extentUniform();
        const std::string fetch = p->kind == CIKernelParameterKind::TableSampler
            ? "texture2DRect(" + p->valueUniform() + ", clamp(c, " + e + ".xy + 0.5, max(" + e + ".xy + 0.5, " + e +
                  ".xy + " + e + ".zw - 0.5)))"
            : "(all(greaterThanEqual(c, " + e + ".xy)) && all(lessThan(c, " + e + ".xy + " + e +
                  ".zw)) ? texture2DRect(" + p->valueUniform() + ", c) : vec4(0.0))";
        out += "vec4 ci_sample_" + p->name + "(vec2 c) { return " + fetch + "; }\n";
    }
    chain("sample(int s, vec2 c)", "vec4", [](const CIKernelParameter &p) { return "ci_sample_" + p.name + "(c)"; });
    chain("samplerTransform(int s, vec2 p)", "vec2",
          [](const CIKernelParameter &p) { return "(" + p.transformUniform() + " * vec3(p, 1.0)).xy"; });
    chain("samplerExtent(int s)", "vec4", [](const CIKernelParameter &p) { return p.extentUniform(); });
    out += "vec2 samplerCoord(int s) { return samplerTransform(s, destCoord()); }\n";
    return out;
}

// Names the shader keeps for itself: GL's and ours, and the functions of the prelude.
bool IsReservedName(const std::string &name) {
    static const std::set<std::string> prelude = {"main", "sample", "samplerCoord", "samplerExtent", "samplerTransform",
                                                  "destCoord", "premultiply", "unpremultiply", "compare"};
    return name.compare(0, 3, "gl_") == 0 || name.compare(0, 3, "ci_") == 0 || prelude.count(name) != 0;
}

std::string Text(const std::string &text, const Token &t) { return text.substr(t.begin, t.end - t.begin); }

} // namespace

CIKernelTranslation CITranslateKernels(std::string_view input) {
    CIKernelTranslation result;
    auto fail = [&](int line, std::string message) {
        result.kernels.clear();
        result.error = CIKernelError{line, std::move(message)};
        return result;
    };
    const std::string text = NormaliseNewlines(input);
    std::vector<Token> tokens;
    if (auto error = Tokenize(text, tokens)) return fail(error->line, error->message);

    std::vector<KernelRange> ranges;
    std::set<std::string> names;
    int depth = 0;
    std::vector<int> openLines;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        const char c = text[t.begin];
        if (t.type == TokenType::Punct && (c == '{' || c == '(' || c == '[')) {
            ++depth;
            openLines.push_back(t.line);
            continue;
        }
        if (t.type == TokenType::Punct && (c == '}' || c == ')' || c == ']')) {
            if (depth == 0) return fail(t.line, std::string("unbalanced '") + c + "'");
            --depth;
            openLines.pop_back();
            continue;
        }
        if (t.type != TokenType::Identifier || Text(text, t) != "kernel") continue;
        if (depth != 0) return fail(t.line, "a kernel is defined inside another definition");

        KernelRange range;
        range.begin = t.begin;
        range.kernel.line = t.line;
        size_t j = i + 1;
        auto at = [&](size_t k) -> const Token * { return k < tokens.size() ? &tokens[k] : nullptr; };
        auto lineAt = [&](size_t k) { return k < tokens.size() ? tokens[k].line : tokens.back().line; };
        auto isPunct = [&](size_t k, char p) {
            return at(k) != nullptr && at(k)->type == TokenType::Punct && text[at(k)->begin] == p;
        };
        if (at(j) == nullptr || at(j)->type != TokenType::Identifier || Text(text, *at(j)) != "vec4")
            return fail(lineAt(j), "a kernel answers vec4");
        ++j;
        if (at(j) == nullptr || at(j)->type != TokenType::Identifier) return fail(lineAt(j), "kernel name expected");
        range.kernel.name = Text(text, *at(j));
        if (IsReservedName(range.kernel.name))
            return fail(at(j)->line, "reserved kernel name '" + range.kernel.name + "'");
        ++j;
        if (!isPunct(j, '(')) return fail(lineAt(j), "'(' expected after the kernel name");
        ++j;
        if (at(j) != nullptr && at(j)->type == TokenType::Identifier && Text(text, *at(j)) == "void" && isPunct(j + 1, ')'))
            ++j;
        std::set<std::string> parameterNames;
        while (!isPunct(j, ')')) {
            if (!range.kernel.parameters.empty()) {
                if (!isPunct(j, ',')) return fail(lineAt(j), "',' or ')' expected in the parameter list");
                ++j;
            }
            if (at(j) == nullptr || at(j)->type != TokenType::Identifier) return fail(lineAt(j), "parameter type expected");
            const int typeLine = at(j)->line;
            std::string type = Text(text, *at(j));
            ++j;
            if (type == "__table") {
                if (at(j) == nullptr || at(j)->type != TokenType::Identifier || Text(text, *at(j)) != "sampler")
                    return fail(lineAt(j), "__table applies to a sampler");
                type = "__table sampler";
                ++j;
            }
            CIKernelParameter parameter;
            if (type == "sampler") parameter.kind = CIKernelParameterKind::Sampler;
            else if (type == "__table sampler") parameter.kind = CIKernelParameterKind::TableSampler;
            else if (type == "float") parameter.kind = CIKernelParameterKind::Float;
            else if (type == "vec2") parameter.kind = CIKernelParameterKind::Vec2;
            else if (type == "vec3") parameter.kind = CIKernelParameterKind::Vec3;
            else if (type == "vec4") parameter.kind = CIKernelParameterKind::Vec4;
            else if (type == "__color") parameter.kind = CIKernelParameterKind::Color;
            else return fail(typeLine, "unknown parameter type '" + type + "'");
            if (at(j) == nullptr || at(j)->type != TokenType::Identifier) return fail(lineAt(j), "parameter name expected");
            parameter.name = Text(text, *at(j));
            if (IsReservedName(parameter.name))
                return fail(at(j)->line, "reserved parameter name '" + parameter.name + "'");
            if (!parameterNames.insert(parameter.name).second)
                return fail(at(j)->line, "parameter '" + parameter.name + "' named twice");
            range.kernel.parameters.push_back(std::move(parameter));
            ++j;
        }
        range.headerEnd = tokens[j].end;
        ++j;
        if (!isPunct(j, '{')) return fail(lineAt(j), "'{' expected after the kernel's parameters");
        int bodyDepth = 0;
        size_t k = j;
        for (; k < tokens.size(); ++k) {
            if (tokens[k].type != TokenType::Punct) continue;
            const char p = text[tokens[k].begin];
            if (p == '{') ++bodyDepth;
            else if (p == '}' && --bodyDepth == 0) break;
        }
        if (k == tokens.size()) return fail(tokens[j].line, "the kernel's '{' is never closed");
        range.end = tokens[k].end;
        if (!names.insert(range.kernel.name).second)
            return fail(range.kernel.line, "kernel '" + range.kernel.name + "' defined twice");
        ranges.push_back(std::move(range));
        i = k;
    }
    if (depth != 0) return fail(openLines.back(), "unbalanced bracket opened here");
    if (ranges.empty()) return fail(tokens.empty() ? 1 : tokens.front().line, "no kernel in the text");

    // The kernel whose whole range holds the offset, or ranges.size() (ranges are in order).
    auto rangeOf = [&](size_t offset) {
        auto after = std::upper_bound(ranges.begin(), ranges.end(), offset,
                                      [](size_t o, const KernelRange &r) { return o < r.begin; });
        if (after == ranges.begin() || offset >= std::prev(after)->end) return ranges.size();
        return size_t(std::prev(after) - ranges.begin());
    };
    // Words of the kernel language outside the kernel headers: `sampler` and `__table` in
    // helper functions stand for sampler numbers, `__color` for vec4.
    struct WordEdit {
        Edit edit;
        size_t range;
    };
    std::vector<WordEdit> wordEdits;
    for (const Token &t : tokens) {
        if (t.type != TokenType::Identifier) continue;
        const size_t range = rangeOf(t.begin);
        if (range < ranges.size() && t.begin < ranges[range].headerEnd) continue;
        const std::string word = Text(text, t);
        if (word == "sampler") wordEdits.push_back({{t.begin, t.end, "int"}, range});
        else if (word == "__table") wordEdits.push_back({{t.begin, t.end, ""}, range});
        else if (word == "__color") wordEdits.push_back({{t.begin, t.end, "vec4"}, range});
    }

    // Every kernel carries the text around it: many kernels in a large text would make
    // shaders without end. The text outside the kernels bounds the total from below.
    size_t outside = text.size();
    for (const KernelRange &range : ranges) outside -= range.end - range.begin;
    if (outside > kMaxShaderBytes / ranges.size()) return fail(1, "the kernel text is too large");
    size_t total = 0;
    for (size_t index = 0; index < ranges.size(); ++index) {
        const KernelRange &range = ranges[index];
        std::vector<Edit> edits;
        for (const KernelRange &other : ranges) {
            if (&other == &range) {
                edits.push_back({other.begin, other.headerEnd,
                                 "vec4 " + other.kernel.name + "()" + NewlinesOf(text, other.begin, other.headerEnd)});
            } else {
                edits.push_back({other.begin, other.end, NewlinesOf(text, other.begin, other.end)});
            }
        }
        for (const WordEdit &word : wordEdits)
            if (word.range == ranges.size() || word.range == index) edits.push_back(word.edit);
        std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.begin < b.begin; });

        std::string shader = "#version 120\n#extension GL_ARB_texture_rectangle : enable\n";
        shader += std::string("uniform vec2 ") + kCIKernelDestOriginUniform + ";\n";
        std::vector<const CIKernelParameter *> samplers;
        int number = 0;
        for (const CIKernelParameter &p : range.kernel.parameters) {
            shader += std::string("uniform ") + GLSLType(p.kind) + " " + p.valueUniform() + ";\n";
            if (p.isSampler()) {
                shader += "uniform mat3 " + p.transformUniform() + ";\n";
                shader += "uniform vec4 " + p.extentUniform() + ";\n";
                shader += "const int " + p.name + " = " + std::to_string(number++) + ";\n";
                samplers.push_back(&p);
            }
        }
        shader += kPrelude;
        shader += SamplerFunctions(samplers);
        // GLSL 1.20 numbers the line after "#line N" as N + 1.
        shader += "#line 0\n";
        size_t position = 0;
        for (const Edit &edit : edits) {
            shader.append(text, position, edit.begin - position);
            shader += edit.replacement;
            position = edit.end;
        }
        shader.append(text, position, std::string::npos);
        shader += "\nvoid main() { gl_FragColor = " + range.kernel.name + "(); }\n";
        total += shader.size();
        if (total > kMaxShaderBytes) return fail(1, "the kernel text is too large");
        CIKernelSource kernel = range.kernel;
        kernel.fragmentShader = std::move(shader);
        result.kernels.push_back(std::move(kernel));
    }
    return result;
}

std::vector<CIKernelError> CIKernelLogLines(std::string_view log) {
    std::vector<CIKernelError> out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string_view::npos) end = log.size();
        const std::string_view line = log.substr(start, end - start);
        start = end + 1;
        // The first "0:N" or "0(N)" of the line names the line.
        for (size_t i = 0; i + 2 < line.size(); ++i) {
            if (line[i] != '0' || (i > 0 && std::isdigit(static_cast<unsigned char>(line[i - 1])) != 0)) continue;
            if (line[i + 1] != ':' && line[i + 1] != '(') continue;
            int number = 0;
            const char *first = line.data() + i + 2;
            const auto parsed = std::from_chars(first, line.data() + line.size(), number);
            if (parsed.ec != std::errc() || parsed.ptr == first || number <= 0) continue;
            size_t message = size_t(parsed.ptr - line.data());
            while (message < line.size() && (line[message] == ')' || line[message] == ':' || line[message] == '(' ||
                                             line[message] == ' ' || std::isdigit(static_cast<unsigned char>(line[message])) != 0))
                ++message;
            out.push_back({number, std::string(line.substr(message))});
            break;
        }
    }
    return out;
}

} // namespace CoreImage
