#include <Foundation/NSAttributedString.h>

#include <Foundation/NSException.h>

NSAttributedString::NSAttributedString(const QString &string, const QVariantMap &attributes) : mString(string) {
    if (!mString.isEmpty()) mRuns.push_back(Run{mString.size(), attributes});
}

void NSAttributedString::checkRange(NSRange range, const char *operation) const {
    if (range.location < 0 || range.length < 0 || range.location > length() || range.length > length() - range.location)
        NSException::raise(NSRangeException, QStringLiteral("%1: range {%2, %3} out of bounds; length %4")
                                                  .arg(QLatin1String(operation))
                                                  .arg(range.location)
                                                  .arg(range.length)
                                                  .arg(length()));
}

QVariantMap NSAttributedString::attributesAtIndex(qsizetype index, NSRange *effectiveRange) const {
    if (index < 0 || index >= length())
        NSException::raise(NSRangeException,
                           QStringLiteral("attributesAtIndex: index %1 out of bounds; length %2").arg(index).arg(length()));
    qsizetype start = 0;
    for (const Run &run : mRuns) {
        if (index < start + run.length) {
            if (effectiveRange != nullptr) *effectiveRange = NSRange{start, run.length};
            return run.attributes;
        }
        start += run.length;
    }
    return {};  // not reached: the runs cover the text
}

QVariant NSAttributedString::attributeAtIndex(const QString &name, qsizetype index, NSRange *effectiveRange) const {
    return attributesAtIndex(index, effectiveRange).value(name);
}

bool operator==(const NSAttributedString &a, const NSAttributedString &b) {
    return a.mString == b.mString && a.mRuns == b.mRuns;
}

size_t NSAttributedString::splitAt(qsizetype position) {
    qsizetype start = 0;
    for (size_t i = 0; i < mRuns.size(); ++i) {
        if (position == start) return i;
        if (position < start + mRuns[i].length) {
            Run tail{start + mRuns[i].length - position, mRuns[i].attributes};
            mRuns[i].length = position - start;
            mRuns.insert(mRuns.begin() + qsizetype(i) + 1, std::move(tail));
            return i + 1;
        }
        start += mRuns[i].length;
    }
    return mRuns.size();
}

void NSAttributedString::coalesce() {
    std::vector<Run> merged;
    for (Run &run : mRuns) {
        if (run.length == 0) continue;
        if (!merged.empty() && merged.back().attributes == run.attributes) merged.back().length += run.length;
        else merged.push_back(std::move(run));
    }
    mRuns = std::move(merged);
}

void NSMutableAttributedString::setAttributes(const QVariantMap &attributes, NSRange range) {
    checkRange(range, "setAttributes");
    if (range.length == 0) return;
    const size_t first = splitAt(range.location);
    const size_t last = splitAt(range.location + range.length);
    for (size_t i = first; i < last; ++i) mRuns[i].attributes = attributes;
    coalesce();
}

void NSMutableAttributedString::addAttributes(const QVariantMap &attributes, NSRange range) {
    checkRange(range, "addAttributes");
    if (range.length == 0) return;
    const size_t first = splitAt(range.location);
    const size_t last = splitAt(range.location + range.length);
    for (size_t i = first; i < last; ++i)
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) mRuns[i].attributes.insert(it.key(), it.value());
    coalesce();
}

void NSMutableAttributedString::addAttribute(const QString &name, const QVariant &value, NSRange range) {
    addAttributes(QVariantMap{{name, value}}, range);
}

void NSMutableAttributedString::removeAttribute(const QString &name, NSRange range) {
    checkRange(range, "removeAttribute");
    if (range.length == 0) return;
    const size_t first = splitAt(range.location);
    const size_t last = splitAt(range.location + range.length);
    for (size_t i = first; i < last; ++i) mRuns[i].attributes.remove(name);
    coalesce();
}

void NSMutableAttributedString::replaceCharactersInRange(NSRange range, const QString &string) {
    checkRange(range, "replaceCharactersInRange");
    QVariantMap attributes;
    if (range.length > 0) attributes = attributesAtIndex(range.location);
    else if (range.location > 0) attributes = attributesAtIndex(range.location - 1);
    else if (length() > 0) attributes = attributesAtIndex(0);
    const size_t first = splitAt(range.location);
    const size_t last = splitAt(range.location + range.length);
    mRuns.erase(mRuns.begin() + qsizetype(first), mRuns.begin() + qsizetype(last));
    if (!string.isEmpty()) mRuns.insert(mRuns.begin() + qsizetype(first), Run{string.size(), attributes});
    mString.replace(range.location, range.length, string);
    coalesce();
}

std::optional<NSAttributedString> attributedStringFromVariant(const QVariant &value) {
    if (value.metaType() == QMetaType::fromType<NSAttributedString>()) return value.value<NSAttributedString>();
    if (value.metaType() == QMetaType::fromType<NSMutableAttributedString>())
        return NSAttributedString(value.value<NSMutableAttributedString>());
    return std::nullopt;
}
