// A composition URL and the file name its server suggests, as another program or a shared
// bookmark hands them over: the URL text up to the first NUL, the suggested name after it. The
// cache file name is derived from the URL alone; it is always a plain, safe name in the cache
// folder, the same for the same URL, whatever the suggested name says.
#include "FuzzSupport.h"

#include <LumoraApp/LumoraCompositionCache.h>

#include <QDir>
#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\0');
    const QString urlText = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString suggested = split < 0 ? QString() : QString::fromUtf8(bytes.mid(split + 1));

    for (const QUrl &url : {QUrl(urlText), QUrl(urlText, QUrl::StrictMode), QUrl::fromUserInput(urlText)}) {
        const QString name = LumoraCompositionCache::cacheFileNameForURL(url);
        LUMORA_CHECK(name == LumoraCompositionCache::cacheFileNameForURL(url));
        if (name.isEmpty()) continue;
        LUMORA_CHECK(LumoraCompositionCache::isSafeCacheFileName(name));
        // Joined to the folder, the name stays in it.
        const QString path = QDir::cleanPath(QDir(QStringLiteral("/cache/LumoraQache")).filePath(name));
        LUMORA_CHECK(path.startsWith(QLatin1String("/cache/LumoraQache/")));
        LUMORA_CHECK(path.count(QLatin1Char('/')) == 3);
    }
    // A suggested name is never a cache name unless it is a safe one.
    if (LumoraCompositionCache::isSafeCacheFileName(suggested)) {
        LUMORA_CHECK(!suggested.contains(QLatin1Char('/')) && !suggested.startsWith(QLatin1Char('.')));
    }
    return 0;
}
