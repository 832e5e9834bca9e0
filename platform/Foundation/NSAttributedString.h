// Attributed strings: text with attribute runs (each run a map {attribute name: value} over a
// range of UTF-16 positions). NSAttributedString is immutable; NSMutableAttributedString adds
// the changes. Both travel in QVariants as values of their own types; attributedStringFromVariant
// reads either. A range outside the text raises "NSRangeException".
#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>
#include <vector>

// The font of a run (a QFont value).
inline constexpr char NSFontAttributeName[] = "NSFont";

struct NSRange {
    qsizetype location = 0;
    qsizetype length = 0;
    friend bool operator==(const NSRange &, const NSRange &) = default;
};

inline NSRange NSMakeRange(qsizetype location, qsizetype length) { return NSRange{location, length}; }

class NSAttributedString {
public:
    NSAttributedString() = default;
    explicit NSAttributedString(const QString &string, const QVariantMap &attributes = {});

    const QString &string() const { return mString; }
    qsizetype length() const { return mString.size(); }

    // The attributes at the position and, when asked, the whole run that has them.
    QVariantMap attributesAtIndex(qsizetype index, NSRange *effectiveRange = nullptr) const;
    QVariant attributeAtIndex(const QString &name, qsizetype index, NSRange *effectiveRange = nullptr) const;

    friend bool operator==(const NSAttributedString &, const NSAttributedString &);

protected:
    struct Run {
        qsizetype length;
        QVariantMap attributes;
        friend bool operator==(const Run &, const Run &) = default;
    };

    void checkRange(NSRange range, const char *operation) const;
    // Splits runs so that a run starts at the position; answers that run's index.
    size_t splitAt(qsizetype position);
    void coalesce();

    QString mString;
    std::vector<Run> mRuns;  // covering the text; none for an empty text
};

class NSMutableAttributedString : public NSAttributedString {
public:
    using NSAttributedString::NSAttributedString;
    NSMutableAttributedString() = default;
    explicit NSMutableAttributedString(const NSAttributedString &other) : NSAttributedString(other) {}

    // Replaces the attributes of the range.
    void setAttributes(const QVariantMap &attributes, NSRange range);
    // Adds (replaces by name) attributes over the range, keeping the others.
    void addAttributes(const QVariantMap &attributes, NSRange range);
    void addAttribute(const QString &name, const QVariant &value, NSRange range);
    void removeAttribute(const QString &name, NSRange range);
    // Replaces the text of the range; the new text takes the attributes of the first replaced
    // character (or of the character before, when the range is empty).
    void replaceCharactersInRange(NSRange range, const QString &string);
};

Q_DECLARE_METATYPE(NSAttributedString)
Q_DECLARE_METATYPE(NSMutableAttributedString)

// The attributed string a QVariant holds (either type); nothing for other values.
std::optional<NSAttributedString> attributedStringFromVariant(const QVariant &value);
