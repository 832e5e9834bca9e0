#include "LumoraShaderSourceCode.h"

#include <QFile>
#include <QString>

namespace {

class LumoraShaderSourceCodeClass final : public NSOGLShaderSourceCodeClass {
public:
    const char *className() const override { return "LumoraShaderSourceCode"; }
    std::optional<std::string> sourceCodeFromResource(const std::string &name,
                                                      const std::string &extension) const override {
        return LumoraShaderSourceCode::stringDataForShaderFileName(name + "." + extension);
    }
};

}  // namespace

NSOGLShaderSourceCodeClassRef LumoraShaderSourceCode::sourceCodeClass() {
    static const LumoraShaderSourceCodeClass sClass;
    return &sClass;
}

std::string LumoraShaderSourceCode::stringDataForShaderFileName(const std::string &fileName) {
    for (const char *name : kShaderFileNames) {
        if (fileName != name) continue;
        QFile file(QStringLiteral(":/shaders/") + QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QByteArray text = file.readAll();
        return text.toStdString();
    }
    return {};
}

bool import_LumoraShaderSourceCode() { return import_NSOGLShaderSourceCode(); }
