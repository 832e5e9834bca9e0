// Text: fonts through fontconfig, lines laid out by pango, drawn as glyph outlines by cairo.
//
// One pango context (on a font map of its own) serves the whole process; pango and its font
// map are not safe to use from two threads at once, so every pango call holds TextLock().
// Glyph positions are not rounded and hinting is off, so a line measures the same whatever
// the transform it is drawn with.
#include <CoreGraphics/CGInternal.h>
#include <CoreGraphics/CoreText.h>

#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFStringUTF.h>

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

namespace {

LUMORA_CF_CONSTANT_STRING(gFontAttribute, "NSFont");
LUMORA_CF_CONSTANT_STRING(gForegroundColorAttribute, "CTForegroundColor");
LUMORA_CF_CONSTANT_STRING(gForegroundFromContextAttribute, "CTForegroundColorFromContext");

constexpr const char *kDefaultFamily = "Sans";
constexpr double kDefaultSize = 12;
constexpr double kLargestSize = 16384;  // pango keeps sizes as integers of 1/1024 unit

std::recursive_mutex &TextLock() {
    static std::recursive_mutex lock;
    return lock;
}

// Made once under TextLock and kept for the life of the process.
PangoContext *TextContext() {
    static PangoContext *context = [] {
        PangoFontMap *fontMap = pango_cairo_font_map_new();
        PangoContext *made = pango_font_map_create_context(fontMap);
        g_object_unref(fontMap);  // the context holds it
        cairo_font_options_t *options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(made, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(made, FALSE);
        return made;
    }();
    return context;
}

// A line break has no place on a single line: pango would give most of them the width and
// ink of a visible glyph (a trailing newline pushed centred text to the left).
bool IsLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}
constexpr char32_t kZeroWidthSpace = 0x200B;

// UTF-8 of a string, with the UTF-8 offset of every UTF-16 index (one past the end too).
// A lone surrogate becomes U+FFFD, and so does U+0000, which pango would take for the end;
// a line break becomes a zero-width space.
void ToUTF8(CFStringRef string, std::string &text, std::vector<int> &offsets) {
    const CFIndex length = CFStringGetLength(string);
    std::vector<UniChar> units(static_cast<size_t>(length));
    if (length > 0) CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
    text.clear();
    offsets.assign(size_t(length) + 1, 0);
    for (size_t i = 0; i < units.size();) {
        const cf::utf::Decoded character = cf::utf::DecodeUTF16(units.data() + i, units.size() - i);
        char32_t c = character.verdict == cf::utf::Verdict::Valid ? character.value : cf::utf::kReplacement;
        if (c == 0) c = cf::utf::kReplacement;
        if (IsLineBreak(c)) c = kZeroWidthSpace;
        for (size_t k = 0; k < character.length; ++k) offsets[i + k] = int(text.size());
        unsigned char bytes[4];
        text.append(reinterpret_cast<const char *>(bytes), cf::utf::EncodeUTF8(c, bytes));
        i += character.length;
    }
    offsets[units.size()] = int(text.size());
}

std::string UTF8(CFStringRef string) {
    std::string text;
    std::vector<int> offsets;
    ToUTF8(string, text, offsets);
    return text;
}

}  // namespace

constinit const CFStringRef kCTFontAttributeName = &gFontAttribute.object;
constinit const CFStringRef kCTForegroundColorAttributeName = &gForegroundColorAttribute.object;
constinit const CFStringRef kCTForegroundColorFromContextAttributeName = &gForegroundFromContextAttribute.object;

// ---- fonts

CFTypeID CTFontGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CTFont");
    return type;
}

struct __CTFont final : cf::Object {
    __CTFont(const std::string &family, double size)
        : cf::Object(CTFontGetTypeID()), mSize(size), mDescription(pango_font_description_new()) {
        pango_font_description_set_family(mDescription, family.c_str());
        pango_font_description_set_absolute_size(mDescription, size * PANGO_SCALE);
    }
    ~__CTFont() override { pango_font_description_free(mDescription); }

    const double mSize;
    PangoFontDescription *const mDescription;
};

CTFontRef CTFontCreateWithName(CFStringRef name, CGFloat size, const CGAffineTransform *matrix) {
    if (matrix && !CGAffineTransformIsIdentity(*matrix)) return nullptr;
    if (name && CFGetTypeID(name) != CFStringGetTypeID()) return nullptr;
    if (!(size > 0)) size = kDefaultSize;
    size = std::min<CGFloat>(size, kLargestSize);
    const std::string family = name ? UTF8(name) : std::string(kDefaultFamily);
    return new __CTFont(family.empty() ? std::string(kDefaultFamily) : family, size);
}

CGFloat CTFontGetSize(CTFontRef font) { return font ? font->mSize : 0; }

CFStringRef CTFontCopyFamilyName(CTFontRef font) {
    if (!font) return nullptr;
    std::lock_guard<std::recursive_mutex> guard(TextLock());
    PangoContext *context = TextContext();
    PangoFont *loaded = pango_font_map_load_font(pango_context_get_font_map(context), context, font->mDescription);
    if (!loaded) return nullptr;
    PangoFontDescription *description = pango_font_describe(loaded);
    const char *family = pango_font_description_get_family(description);
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, family ? family : "", kCFStringEncodingUTF8);
    pango_font_description_free(description);
    g_object_unref(loaded);
    return name;
}

// ---- lines

CFTypeID CTLineGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CTLine");
    return type;
}

struct __CTLine final : cf::Object {
    struct Run {
        int start = 0, end = 0;  // UTF-8 offsets
        bool fromContext = false;
        cgimpl::Color color;  // black unless an attribute says otherwise
    };

    __CTLine() : cf::Object(CTLineGetTypeID()) {}
    ~__CTLine() override {
        std::lock_guard<std::recursive_mutex> guard(TextLock());
        if (mLayout) g_object_unref(mLayout);
    }

    const Run &runAt(int offset) const {
        for (const Run &run : mRuns)
            if (offset >= run.start && offset < run.end) return run;
        static const Run black;
        return black;
    }

    PangoLayout *mLayout = nullptr;
    std::vector<Run> mRuns;
    // In pango units turned into user units: y down from the top of the line.
    double mBaseline = 0;
    PangoRectangle mInk{}, mLogical{};
};

namespace {

double Units(int value) { return double(value) / PANGO_SCALE; }

// Glyph outlines of the line in cairo device space, one path per run, for the transform
// from pango's layout space (y down from the line's top) to device space.
std::vector<std::pair<const __CTLine::Run *, cgimpl::PathData>> GlyphPaths(CTLineRef line,
                                                                           const CGAffineTransform &layoutToDevice) {
    std::vector<std::pair<const __CTLine::Run *, cgimpl::PathData>> paths;
    // Unbounded: cairo leaves out of a glyph path every glyph that starts more than ten ems
    // outside its surface, which for a small surface cut all but a line's first letters.
    cairo_surface_t *scratch = cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr);
    cairo_t *cr = cairo_create(scratch);
    std::lock_guard<std::recursive_mutex> guard(TextLock());
    PangoLayoutIter *iter = pango_layout_get_iter(line->mLayout);
    do {
        PangoLayoutRun *run = pango_layout_iter_get_run_readonly(iter);
        if (!run) continue;
        PangoRectangle logical;
        pango_layout_iter_get_run_extents(iter, nullptr, &logical);
        const double baseline = Units(pango_layout_iter_get_baseline(iter));
        const cairo_matrix_t m = cgimpl::ToCairo(layoutToDevice);
        cairo_set_matrix(cr, &m);
        cairo_new_path(cr);
        cairo_move_to(cr, Units(logical.x), baseline);
        pango_cairo_glyph_string_path(cr, run->item->analysis.font, run->glyphs);
        cairo_identity_matrix(cr);
        cairo_path_t *copied = cairo_copy_path(cr);
        cgimpl::PathData path;
        if (copied->status == CAIRO_STATUS_SUCCESS) {
            for (int i = 0; i < copied->num_data; i += copied->data[i].header.length) {
                const cairo_path_data_t *d = &copied->data[i];
                switch (d->header.type) {
                case CAIRO_PATH_MOVE_TO: path.moveTo(CGAffineTransformIdentity, {d[1].point.x, d[1].point.y}); break;
                case CAIRO_PATH_LINE_TO: path.lineTo(CGAffineTransformIdentity, {d[1].point.x, d[1].point.y}); break;
                case CAIRO_PATH_CURVE_TO:
                    path.curveTo(CGAffineTransformIdentity, {d[1].point.x, d[1].point.y}, {d[2].point.x, d[2].point.y},
                                 {d[3].point.x, d[3].point.y});
                    break;
                case CAIRO_PATH_CLOSE_PATH: path.close(); break;
                }
            }
        }
        cairo_path_destroy(copied);
        if (!path.empty()) paths.emplace_back(&line->runAt(run->item->offset), std::move(path));
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return paths;
}

}  // namespace

CTLineRef CTLineCreateWithAttributedString(CFAttributedStringRef string) {
    CFStringRef text = CFAttributedStringGetString(string);
    if (!text) return nullptr;
    std::string utf8;
    std::vector<int> offsets;
    ToUTF8(text, utf8, offsets);
    const CFIndex length = CFAttributedStringGetLength(string);

    auto *line = new __CTLine;
    std::lock_guard<std::recursive_mutex> guard(TextLock());
    line->mLayout = pango_layout_new(TextContext());
    pango_layout_set_single_paragraph_mode(line->mLayout, TRUE);
    pango_layout_set_text(line->mLayout, utf8.data(), int(utf8.size()));
    PangoAttrList *attributes = pango_attr_list_new();
    PangoFontDescription *fallback = pango_font_description_new();
    pango_font_description_set_family(fallback, kDefaultFamily);
    pango_font_description_set_absolute_size(fallback, kDefaultSize * PANGO_SCALE);

    // One run per stretch over which the three attributes do not change.
    for (CFIndex at = 0; at < length;) {
        CFRange fontRange, colorRange, contextRange;
        CFTypeRef font = CFAttributedStringGetAttribute(string, at, kCTFontAttributeName, &fontRange);
        CFTypeRef color = CFAttributedStringGetAttribute(string, at, kCTForegroundColorAttributeName, &colorRange);
        CFTypeRef fromContext =
            CFAttributedStringGetAttribute(string, at, kCTForegroundColorFromContextAttributeName, &contextRange);
        const CFIndex end = std::min({fontRange.location + fontRange.length, colorRange.location + colorRange.length,
                                      contextRange.location + contextRange.length, length});
        __CTLine::Run run;
        run.start = offsets[size_t(at)];
        run.end = offsets[size_t(end)];
        run.fromContext = fromContext && CFGetTypeID(fromContext) == CFBooleanGetTypeID() &&
                          CFBooleanGetValue(static_cast<CFBooleanRef>(fromContext));
        if (color && CFGetTypeID(color) == CGColorGetTypeID()) {
            run.color = static_cast<const CGColor *>(color)->rgba();
        }
        const bool isFont = font && CFGetTypeID(font) == CTFontGetTypeID();
        PangoAttribute *attribute =
            pango_attr_font_desc_new(isFont ? static_cast<CTFontRef>(font)->mDescription : fallback);
        attribute->start_index = guint(run.start);
        attribute->end_index = guint(run.end);
        pango_attr_list_insert(attributes, attribute);
        line->mRuns.push_back(run);
        at = std::max(end, at + 1);
    }
    if (length == 0) pango_layout_set_font_description(line->mLayout, fallback);
    pango_layout_set_attributes(line->mLayout, attributes);
    pango_attr_list_unref(attributes);
    pango_font_description_free(fallback);

    pango_layout_get_extents(line->mLayout, &line->mInk, &line->mLogical);
    line->mBaseline = Units(pango_layout_get_baseline(line->mLayout));
    return line;
}

CGRect CTLineGetImageBounds(CTLineRef line, CGContextRef context) {
    if (!line || line->mInk.width <= 0 || line->mInk.height <= 0) return CGRectZero;
    // Layout space has y down from the line's top; text space y up from the baseline.
    const double top = Units(line->mInk.y), bottom = Units(line->mInk.y + line->mInk.height);
    const CGRect bounds = CGRectMake(Units(line->mInk.x), line->mBaseline - bottom, Units(line->mInk.width), bottom - top);
    return context ? CGRectApplyAffineTransform(bounds, context->mTextMatrix) : bounds;
}

double CTLineGetTypographicBounds(CTLineRef line, CGFloat *ascent, CGFloat *descent, CGFloat *leading) {
    const double top = line ? Units(line->mLogical.y) : 0;
    const double bottom = line ? Units(line->mLogical.y + line->mLogical.height) : 0;
    const double baseline = line ? line->mBaseline : 0;
    if (ascent) *ascent = baseline - top;
    if (descent) *descent = bottom - baseline;
    if (leading) *leading = 0;
    return line ? Units(line->mLogical.width) : 0;
}

void CTLineDraw(CTLineRef line, CGContextRef c) {
    if (!line || !c) return;
    const CGAffineTransform device = c->deviceTransform();
    const CGAffineTransform layoutToText = {1, 0, 0, -1, 0, line->mBaseline};
    const CGAffineTransform layoutToDevice =
        CGAffineTransformConcat(CGAffineTransformConcat(layoutToText, c->mTextMatrix), device);
    if (!cgimpl::Invertible(layoutToDevice) || !cgimpl::Invertible(device)) return;

    const auto paths = GlyphPaths(line, layoutToDevice);
    if (paths.empty()) return;
    const cgimpl::GState &s = c->mState;
    const CGTextDrawingMode mode = s.textMode;
    const bool fill = mode == kCGTextFill || mode == kCGTextFillStroke || mode == kCGTextFillClip ||
                      mode == kCGTextFillStrokeClip;
    const bool stroke = mode == kCGTextStroke || mode == kCGTextFillStroke || mode == kCGTextStrokeClip ||
                        mode == kCGTextFillStrokeClip;
    const bool clip = mode >= kCGTextFillClip;

    if (fill || stroke) {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
        for (const auto &[run, path] : paths) {
            const CGRect b = path.bounds();
            x0 = std::min(x0, CGRectGetMinX(b)), y0 = std::min(y0, CGRectGetMinY(b));
            x1 = std::max(x1, CGRectGetMaxX(b)), y1 = std::max(y1, CGRectGetMaxY(b));
        }
        const double reach = stroke ? cgimpl::StrokeReach(s, device, true) : 1;
        const CGRect bounds = CGRectMake(x0 - reach, y0 - reach, x1 - x0 + 2 * reach, y1 - y0 + 2 * reach);
        c->draw(&bounds, [&](cairo_t *cr) {
            for (const auto &[run, path] : paths) {
                if (!path.finite()) continue;
                const cgimpl::Color &fillColor = run->fromContext ? s.fill : run->color;
                const cgimpl::Color &strokeColor = run->fromContext ? s.stroke : run->color;
                if (fill) {
                    path.addTo(cr);
                    cgimpl::SetSourceColor(cr, fillColor, s.alpha);
                    cairo_fill(cr);
                }
                if (stroke) {
                    cairo_identity_matrix(cr);
                    path.addTo(cr);
                    const cairo_matrix_t m = cgimpl::ToCairo(device);
                    cairo_set_matrix(cr, &m);
                    cgimpl::SetStrokeParameters(cr, s);
                    cgimpl::SetSourceColor(cr, strokeColor, s.alpha);
                    cairo_stroke(cr);
                    cairo_identity_matrix(cr);
                }
            }
        });
    }
    if (clip) {
        cgimpl::PathData all;
        for (const auto &[run, path] : paths) all.append(path, CGAffineTransformIdentity);
        c->clipToDevicePath(std::move(all));
    }
}
