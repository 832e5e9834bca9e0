// The window list over xcb. Every property of a window is outside data: lengths are bounded
// when asked for, types and formats are checked, and a window that goes away during a walk
// (an X error in a reply) is passed over. Requests go out in batches and their replies are
// read afterwards, so a walk costs a few round trips, not a few per window.
#include <CoreGraphics/CGWindow.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreGraphics/CGWindowInternal.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

const CFStringRef kCGWindowNumber = CFSTR("kCGWindowNumber");
const CFStringRef kCGWindowLayer = CFSTR("kCGWindowLayer");
const CFStringRef kCGWindowName = CFSTR("kCGWindowName");
const CFStringRef kCGWindowOwnerName = CFSTR("kCGWindowOwnerName");
const CFStringRef kCGWindowOwnerPID = CFSTR("kCGWindowOwnerPID");
const CFStringRef kCGWindowBounds = CFSTR("kCGWindowBounds");
const CFStringRef kCGWindowIsOnscreen = CFSTR("kCGWindowIsOnscreen");
const CFStringRef kCGWindowSharingState = CFSTR("kCGWindowSharingState");
const CFStringRef kCGWindowAlpha = CFSTR("kCGWindowAlpha");

namespace {

using namespace cg::window;
static_assert(kAtomString == XCB_ATOM_STRING);

// Bounds of a walk: how deep below a top-level window its client is looked for, how many
// windows one walk visits at most, and how much of a property is read.
constexpr int kMaxClientDepth = 4;
constexpr size_t kMaxWalkWindows = 1 << 16;
constexpr uint32_t kNameLongs = 1024;         // 4 KiB of name
constexpr uint32_t kMachineLongs = 64;        // 256 bytes of host name
constexpr uint32_t kWindowTypeLongs = 32;     // 32 window types
constexpr size_t kMaxImagePixels = 8192 * 8192;
constexpr int64_t kMaxImageSide = 1 << 15;
constexpr size_t kBandBytes = 4 << 20;        // pixels asked for by one GetImage request

template <typename T>
struct FreeDeleter {
    void operator()(T *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// Reads a reply; an X error (a window that went away) gives null and is freed.
template <typename T, typename Cookie, typename Fn>
Reply<T> Take(xcb_connection_t *c, Fn fn, Cookie cookie) {
    xcb_generic_error_t *error = nullptr;
    Reply<T> reply(fn(c, cookie, &error));
    std::free(error);
    return reply;
}

struct Atoms {
    xcb_atom_t wmState = XCB_NONE;
    xcb_atom_t netWmName = XCB_NONE;
    xcb_atom_t utf8String = XCB_NONE;
    xcb_atom_t netWmPid = XCB_NONE;
    xcb_atom_t netWmWindowType = XCB_NONE;
    xcb_atom_t typeDesktop = XCB_NONE;
    xcb_atom_t typeDock = XCB_NONE;
    xcb_atom_t netWmWindowOpacity = XCB_NONE;
};

struct Server {
    xcb_connection_t *connection = nullptr;
    const xcb_setup_t *setup = nullptr;
    xcb_window_t root = XCB_NONE;
    int64_t width = 0;
    int64_t height = 0;
    Atoms atoms;
    std::string hostname;
};

Server *OpenServer() {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return nullptr;
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const xcb_setup_t *setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem <= 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    auto *server = new Server;
    server->connection = connection;
    server->setup = setup;
    server->root = screens.data->root;
    server->width = screens.data->width_in_pixels;
    server->height = screens.data->height_in_pixels;

    // Atoms are made when missing, so that a property another client sets later is seen.
    struct {
        const char *name;
        xcb_atom_t *atom;
    } names[] = {
        {"WM_STATE", &server->atoms.wmState},
        {"_NET_WM_NAME", &server->atoms.netWmName},
        {"UTF8_STRING", &server->atoms.utf8String},
        {"_NET_WM_PID", &server->atoms.netWmPid},
        {"_NET_WM_WINDOW_TYPE", &server->atoms.netWmWindowType},
        {"_NET_WM_WINDOW_TYPE_DESKTOP", &server->atoms.typeDesktop},
        {"_NET_WM_WINDOW_TYPE_DOCK", &server->atoms.typeDock},
        {"_NET_WM_WINDOW_OPACITY", &server->atoms.netWmWindowOpacity},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto &entry : names)
        cookies.push_back(xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(entry.name)), entry.name));
    for (size_t i = 0; i < cookies.size(); ++i)
        if (auto reply = Take<xcb_intern_atom_reply_t>(connection, xcb_intern_atom_reply, cookies[i]))
            *names[i].atom = reply->atom;

    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) server->hostname = host;
    return server;
}

// The process's connection, opened on first use and kept (null without a usable server).
const Server *GetServer() {
    static Server *const server = OpenServer();
    if (server == nullptr || xcb_connection_has_error(server->connection)) return nullptr;
    return server;
}

// A GetProperty reply as the readers of CGWindowInternal.h take it.
Property AsProperty(const xcb_get_property_reply_t *reply) {
    Property property;
    if (reply == nullptr || reply->type == XCB_NONE) return property;
    const int length = xcb_get_property_value_length(reply);
    property.present = true;
    property.type = reply->type;
    property.format = reply->format;
    property.data = xcb_get_property_value(reply);
    property.length = length > 0 ? static_cast<size_t>(length) : 0;
    property.cut = reply->bytes_after > 0;
    return property;
}

CFStringRef CreateString(const std::string &text, CFStringEncoding encoding) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(text.data()),
                                   static_cast<CFIndex>(text.size()), encoding, false);
}

// At most limit bytes of a small file.
std::string ReadSmallFile(const std::string &path, size_t limit) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    bytes.resize(limit);
    size_t have = 0;
    while (have < limit) {
        const ssize_t got = ::read(fd, bytes.data() + have, limit - have);
        if (got <= 0) break;
        have += static_cast<size_t>(got);
    }
    ::close(fd);
    bytes.resize(have);
    return bytes;
}

// The program name of a process: its comm, which the kernel cuts at 15 bytes; a cut name is
// completed from the file name of argv[0] when that starts with it.
CFStringRef CreateOwnerName(uint32_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid);
    std::string comm = ReadSmallFile(folder + "/comm", 64);
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    comm.resize(strnlen(comm.c_str(), comm.size()));
    if (comm.empty()) return nullptr;
    if (comm.size() == 15) {
        std::string command = ReadSmallFile(folder + "/cmdline", 4096);
        command.resize(strnlen(command.c_str(), command.size()));
        const size_t slash = command.rfind('/');
        if (slash != std::string::npos) command.erase(0, slash + 1);
        if (command.size() > comm.size() && command.compare(0, comm.size(), comm) == 0) comm = command;
    }
    if (CFStringRef name = CreateString(comm, kCFStringEncodingUTF8)) return name;
    return CreateString(comm, kCFStringEncodingISOLatin1);
}

struct WindowRecord {
    xcb_window_t id = XCB_NONE;
    bool viewable = false;
    int64_t x = 0, y = 0, width = 0, height = 0;  // inside area, root coordinates
    CGWindowLevel level = kCGNormalWindowLevel;
    bool desktop = false;
    double alpha = 1.0;
    std::optional<uint32_t> pid;
    CFStringRef name = nullptr;   // owned
    CFStringRef owner = nullptr;  // owned

    WindowRecord() = default;
    WindowRecord(WindowRecord &&other) noexcept { *this = std::move(other); }
    WindowRecord &operator=(WindowRecord &&other) noexcept {
        if (this != &other) {
            Release();
            id = other.id, viewable = other.viewable, x = other.x, y = other.y, width = other.width;
            height = other.height, level = other.level, desktop = other.desktop, alpha = other.alpha;
            pid = other.pid, name = other.name, owner = other.owner;
            other.name = other.owner = nullptr;
        }
        return *this;
    }
    ~WindowRecord() { Release(); }
    void Release() {
        if (name != nullptr) CFRelease(name);
        if (owner != nullptr) CFRelease(owner);
        name = owner = nullptr;
    }
};

// Geometry, map state and (withProperties) the described properties of each window, in the
// given order; windows that do not exist are left out.
std::vector<WindowRecord> DescribeWindows(const Server &server, const std::vector<xcb_window_t> &ids,
                                          bool withProperties) {
    xcb_connection_t *c = server.connection;
    const Atoms &atoms = server.atoms;
    struct Cookies {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_property_cookie_t netName, wmName, pid, machine, type, opacity;
    };
    std::vector<Cookies> cookies(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        const xcb_window_t w = ids[i];
        Cookies &k = cookies[i];
        k.attributes = xcb_get_window_attributes(c, w);
        k.geometry = xcb_get_geometry(c, w);
        k.origin = xcb_translate_coordinates(c, w, server.root, 0, 0);
        if (!withProperties) continue;
        k.netName = xcb_get_property(c, 0, w, atoms.netWmName, XCB_GET_PROPERTY_TYPE_ANY, 0, kNameLongs);
        k.wmName = xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, kNameLongs);
        k.pid = xcb_get_property(c, 0, w, atoms.netWmPid, XCB_ATOM_CARDINAL, 0, 1);
        k.machine = xcb_get_property(c, 0, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_GET_PROPERTY_TYPE_ANY, 0, kMachineLongs);
        k.type = xcb_get_property(c, 0, w, atoms.netWmWindowType, XCB_ATOM_ATOM, 0, kWindowTypeLongs);
        k.opacity = xcb_get_property(c, 0, w, atoms.netWmWindowOpacity, XCB_ATOM_CARDINAL, 0, 1);
    }
    std::vector<WindowRecord> records;
    records.reserve(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        Cookies &k = cookies[i];
        auto attributes = Take<xcb_get_window_attributes_reply_t>(c, xcb_get_window_attributes_reply, k.attributes);
        auto geometry = Take<xcb_get_geometry_reply_t>(c, xcb_get_geometry_reply, k.geometry);
        auto origin = Take<xcb_translate_coordinates_reply_t>(c, xcb_translate_coordinates_reply, k.origin);
        Reply<xcb_get_property_reply_t> netName, wmName, pid, machine, type, opacity;
        if (withProperties) {
            netName = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, k.netName);
            wmName = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, k.wmName);
            pid = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, k.pid);
            machine = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, k.machine);
            type = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, k.type);
            opacity = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, k.opacity);
        }
        if (!attributes || !geometry || !origin) continue;
        WindowRecord record;
        record.id = ids[i];
        record.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE && attributes->_class != XCB_WINDOW_CLASS_INPUT_ONLY;
        record.x = origin->dst_x;
        record.y = origin->dst_y;
        record.width = geometry->width;
        record.height = geometry->height;
        if (withProperties) {
            record.name = CreateWindowName(AsProperty(netName.get()), AsProperty(wmName.get()), atoms.utf8String);
            const std::vector<uint32_t> pids = PropertyCardinals(AsProperty(pid.get()));
            const std::optional<std::string> host = PropertyText(AsProperty(machine.get()));
            // A process id means something only on the machine the window's client runs on.
            if (!pids.empty() && pids[0] > 0 && pids[0] <= INT32_MAX && (!host || *host == server.hostname)) {
                record.pid = pids[0];
                record.owner = CreateOwnerName(pids[0]);
            }
            for (uint32_t atom : PropertyCardinals(AsProperty(type.get()))) {
                if (atom == atoms.typeDesktop && atom != XCB_NONE) {
                    record.desktop = true;
                    record.level = kCGDesktopWindowLevel;
                    break;
                }
                if (atom == atoms.typeDock && atom != XCB_NONE) {
                    record.level = kCGDockWindowLevel;
                    break;
                }
            }
            const std::vector<uint32_t> alpha = PropertyCardinals(AsProperty(opacity.get()));
            if (!alpha.empty()) record.alpha = alpha[0] / 4294967295.0;
        }
        records.push_back(std::move(record));
    }
    return records;
}

// The client windows, front to back: for each child of the root (topmost first) the first
// window with WM_STATE found breadth-first in its tree, else the child itself.
std::vector<xcb_window_t> ClientWindows(const Server &server) {
    xcb_connection_t *c = server.connection;
    auto tree = Take<xcb_query_tree_reply_t>(c, xcb_query_tree_reply, xcb_query_tree(c, server.root));
    if (!tree) return {};
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = std::max(0, xcb_query_tree_children_length(tree.get()));
    std::vector<xcb_window_t> tops(children, children + std::min<size_t>(count, kMaxWalkWindows));
    std::reverse(tops.begin(), tops.end());

    std::vector<xcb_window_t> clients(tops.size(), XCB_NONE);
    if (server.atoms.wmState == XCB_NONE) return tops;
    // The windows still to look at, each with the index of its top-level window.
    std::vector<std::pair<size_t, xcb_window_t>> frontier;
    for (size_t i = 0; i < tops.size(); ++i) frontier.emplace_back(i, tops[i]);
    size_t visited = tops.size();
    for (int depth = 0; depth <= kMaxClientDepth && !frontier.empty(); ++depth) {
        std::vector<xcb_get_property_cookie_t> state;
        for (const auto &[top, w] : frontier)
            state.push_back(xcb_get_property(c, 0, w, server.atoms.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
        for (size_t i = 0; i < frontier.size(); ++i) {
            auto reply = Take<xcb_get_property_reply_t>(c, xcb_get_property_reply, state[i]);
            const size_t top = frontier[i].first;
            if (reply && reply->type != XCB_NONE && clients[top] == XCB_NONE) clients[top] = frontier[i].second;
        }
        if (depth == kMaxClientDepth) break;
        std::vector<std::pair<size_t, xcb_query_tree_cookie_t>> queries;
        for (const auto &[top, w] : frontier)
            if (clients[top] == XCB_NONE) queries.emplace_back(top, xcb_query_tree(c, w));
        std::vector<std::pair<size_t, xcb_window_t>> next;
        for (const auto &[top, cookie] : queries) {
            auto reply = Take<xcb_query_tree_reply_t>(c, xcb_query_tree_reply, cookie);
            if (!reply) continue;
            const xcb_window_t *inner = xcb_query_tree_children(reply.get());
            const int n = std::max(0, xcb_query_tree_children_length(reply.get()));
            for (int j = 0; j < n && visited < kMaxWalkWindows; ++j, ++visited) next.emplace_back(top, inner[j]);
        }
        frontier = std::move(next);
    }
    for (size_t i = 0; i < tops.size(); ++i)
        if (clients[i] == XCB_NONE) clients[i] = tops[i];
    return clients;
}

std::vector<WindowRecord> ListWindows(const Server &server) {
    return DescribeWindows(server, ClientWindows(server), true);
}

// The records the options select, in list order.
std::vector<const WindowRecord *> SelectWindows(const std::vector<WindowRecord> &all, CGWindowListOption option,
                                                CGWindowID relativeToWindow) {
    std::vector<const WindowRecord *> chosen;
    const bool above = option & kCGWindowListOptionOnScreenAboveWindow;
    const bool below = option & kCGWindowListOptionOnScreenBelowWindow;
    const bool including = option & kCGWindowListOptionIncludingWindow;
    size_t reference = all.size();
    for (size_t i = 0; i < all.size(); ++i)
        if (relativeToWindow != kCGNullWindowID && all[i].id == relativeToWindow) reference = i;
    for (size_t i = 0; i < all.size(); ++i) {
        const WindowRecord &w = all[i];
        bool take;
        if (above || below) {
            if (reference == all.size()) return {};
            take = i == reference ? including : w.viewable && ((above && i < reference) || (below && i > reference));
        } else if (including) {
            take = i == reference;
        } else {
            take = !(option & kCGWindowListOptionOnScreenOnly) || w.viewable;
        }
        if (take && (option & kCGWindowListExcludeDesktopElements) && w.desktop) take = false;
        if (take) chosen.push_back(&w);
    }
    return chosen;
}

void SetNumber(CFMutableDictionaryRef dict, CFStringRef key, CFNumberType type, const void *value) {
    if (CFNumberRef number = CFNumberCreate(nullptr, type, value)) {
        CFDictionarySetValue(dict, key, number);
        CFRelease(number);
    }
}

CFDictionaryRef CreateWindowInfo(const WindowRecord &w) {
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (dict == nullptr) return nullptr;
    const int64_t number = w.id;
    const int32_t level = w.level;
    const int32_t sharing = kCGWindowSharingReadOnly;
    SetNumber(dict, kCGWindowNumber, kCFNumberSInt64Type, &number);
    SetNumber(dict, kCGWindowLayer, kCFNumberSInt32Type, &level);
    SetNumber(dict, kCGWindowSharingState, kCFNumberSInt32Type, &sharing);
    SetNumber(dict, kCGWindowAlpha, kCFNumberDoubleType, &w.alpha);
    CFDictionarySetValue(dict, kCGWindowIsOnscreen, w.viewable ? kCFBooleanTrue : kCFBooleanFalse);
    const CGRect bounds = CGRectMake(static_cast<CGFloat>(w.x), static_cast<CGFloat>(w.y),
                                     static_cast<CGFloat>(w.width), static_cast<CGFloat>(w.height));
    if (CFDictionaryRef rect = CGRectCreateDictionaryRepresentation(bounds)) {
        CFDictionarySetValue(dict, kCGWindowBounds, rect);
        CFRelease(rect);
    }
    if (w.name != nullptr) CFDictionarySetValue(dict, kCGWindowName, w.name);
    if (w.pid) {
        const int32_t pid = static_cast<int32_t>(*w.pid);
        SetNumber(dict, kCGWindowOwnerPID, kCFNumberSInt32Type, &pid);
    }
    if (w.owner != nullptr) CFDictionarySetValue(dict, kCGWindowOwnerName, w.owner);
    return dict;
}

// ---- Images ----

struct Box {
    int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // half-open
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    int64_t Width() const { return x1 - x0; }
    int64_t Height() const { return y1 - y0; }
};

Box Intersect(const Box &a, const Box &b) {
    return Box{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

// How the pixels of one depth and visual are laid out in a GetImage reply.
struct PixelLayout {
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    bool msbFirst = false;
    uint32_t masks[3] = {};  // red, green, blue
    uint32_t alphaMask = 0;

    bool Find(const xcb_setup_t *setup, uint8_t depth, xcb_visualid_t visual) {
        for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0; xcb_format_next(&formats))
            if (formats.data->depth == depth) {
                bitsPerPixel = formats.data->bits_per_pixel;
                scanlinePad = formats.data->scanline_pad;
            }
        if (!(bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32)) return false;
        if (scanlinePad == 0 || scanlinePad % 8 != 0) return false;
        msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
        for (auto screens = xcb_setup_roots_iterator(setup); screens.rem > 0; xcb_screen_next(&screens))
            for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem > 0; xcb_depth_next(&depths))
                for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
                     xcb_visualtype_next(&visuals)) {
                    const xcb_visualtype_t *v = visuals.data;
                    if (v->visual_id != visual) continue;
                    if (v->_class != XCB_VISUAL_CLASS_TRUE_COLOR && v->_class != XCB_VISUAL_CLASS_DIRECT_COLOR)
                        return false;
                    masks[0] = v->red_mask, masks[1] = v->green_mask, masks[2] = v->blue_mask;
                    if (masks[0] == 0 || masks[1] == 0 || masks[2] == 0) return false;
                    const uint32_t used = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
                    if (depth == 32) alphaMask = used & ~(masks[0] | masks[1] | masks[2]);
                    return true;
                }
        return false;
    }
};

// The 8-bit value of the bits of mask in pixel.
inline uint32_t Channel(uint32_t pixel, uint32_t mask) {
    const int shift = __builtin_ctz(mask);
    const uint32_t field = mask >> shift;
    const uint32_t value = (pixel & mask) >> shift;
    return field == 0xFF ? value : static_cast<uint32_t>((uint64_t(value) * 255 + field / 2) / field);
}

// Draws one band of a window's pixels (premultiplied when they have alpha) over the canvas
// (0xAARRGGBB premultiplied, canvasWidth per row) at (dx, dy).
void Composite(const PixelLayout &layout, const uint8_t *data, size_t stride, int64_t width, int64_t rows,
               uint32_t *canvas, int64_t canvasWidth, int64_t dx, int64_t dy) {
    const bool fast = layout.bitsPerPixel == 32 && !layout.msbFirst && layout.masks[0] == 0xFF0000 &&
                      layout.masks[1] == 0xFF00 && layout.masks[2] == 0xFF &&
                      (layout.alphaMask == 0 || layout.alphaMask == 0xFF000000u);
    const int bytes = layout.bitsPerPixel / 8;
    for (int64_t row = 0; row < rows; ++row) {
        const uint8_t *in = data + static_cast<size_t>(row) * stride;
        uint32_t *out = canvas + (dy + row) * canvasWidth + dx;
        for (int64_t col = 0; col < width; ++col, in += bytes) {
            uint32_t pixel = 0;
            if (fast) {
                std::memcpy(&pixel, in, 4);
            } else {
                for (int b = 0; b < bytes; ++b)
                    pixel |= uint32_t(in[b]) << (8 * (layout.msbFirst ? bytes - 1 - b : b));
            }
            uint32_t a = layout.alphaMask ? Channel(pixel, layout.alphaMask) : 255;
            uint32_t r = fast ? (pixel >> 16) & 0xFF : Channel(pixel, layout.masks[0]);
            uint32_t g = fast ? (pixel >> 8) & 0xFF : Channel(pixel, layout.masks[1]);
            uint32_t bl = fast ? pixel & 0xFF : Channel(pixel, layout.masks[2]);
            if (a == 255) {
                out[col] = 0xFF000000u | r << 16 | g << 8 | bl;
                continue;
            }
            r = std::min(r, a), g = std::min(g, a), bl = std::min(bl, a);
            const uint32_t under = out[col], keep = 255 - a;
            const auto blend = [&](uint32_t src, int shift) {
                return src + (((under >> shift) & 0xFF) * keep + 127) / 255;
            };
            out[col] = blend(a, 24) << 24 | blend(r, 16) << 16 | blend(g, 8) << 8 | blend(bl, 0);
        }
    }
}

// Draws the visible part of one window inside area (root coordinates) onto the canvas.
void DrawWindow(const Server &server, const WindowRecord &w, const Box &area, uint32_t *canvas) {
    const Box screen{0, 0, server.width, server.height};
    const Box visible = Intersect(Intersect(Box{w.x, w.y, w.x + w.width, w.y + w.height}, area), screen);
    // GetImage takes the offset into the window as 16-bit signed values.
    if (visible.Empty() || visible.x0 - w.x > INT16_MAX || visible.y1 - w.y > INT16_MAX) return;
    xcb_connection_t *c = server.connection;
    const int64_t bandRows = std::max<int64_t>(1, static_cast<int64_t>(kBandBytes) / (visible.Width() * 4));
    std::vector<std::pair<int64_t, xcb_get_image_cookie_t>> bands;
    for (int64_t y = visible.y0; y < visible.y1; y += bandRows) {
        const int64_t rows = std::min(bandRows, visible.y1 - y);
        bands.emplace_back(y, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w.id, static_cast<int16_t>(visible.x0 - w.x),
                                            static_cast<int16_t>(y - w.y), static_cast<uint16_t>(visible.Width()),
                                            static_cast<uint16_t>(rows), 0xFFFFFFFFu));
    }
    PixelLayout layout;
    bool haveLayout = false;
    for (const auto &[y, cookie] : bands) {
        auto reply = Take<xcb_get_image_reply_t>(c, xcb_get_image_reply, cookie);
        if (!reply) continue;
        if (!haveLayout && !(haveLayout = layout.Find(server.setup, reply->depth, reply->visual))) continue;
        const int64_t rows = std::min(bandRows, visible.y1 - y);
        const size_t rowBits = static_cast<size_t>(visible.Width()) * layout.bitsPerPixel;
        const size_t stride = (rowBits + layout.scanlinePad - 1) / layout.scanlinePad * layout.scanlinePad / 8;
        const size_t needed = stride * static_cast<size_t>(rows - 1) + rowBits / 8;
        const int length = xcb_get_image_data_length(reply.get());
        if (length < 0 || static_cast<size_t>(length) < needed) continue;
        Composite(layout, xcb_get_image_data(reply.get()), stride, visible.Width(), rows, canvas, area.Width(),
                  visible.x0 - area.x0, y - area.y0);
    }
}

void ReleasePixels(void *, const void *data, size_t) { std::free(const_cast<void *>(data)); }

// The image of the windows (front to back) over area, or the union of their bounds when
// screenBounds is null.
CGImageRef CreateImage(const Server &server, CGRect screenBounds, const std::vector<const WindowRecord *> &windows,
                       CGWindowImageOption imageOption) {
    std::vector<const WindowRecord *> shown;
    for (const WindowRecord *w : windows)
        if (w->viewable) shown.push_back(w);
    if (shown.empty()) return nullptr;
    Box area;
    if (CGRectIsNull(screenBounds)) {
        area = Box{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
        for (const WindowRecord *w : shown) {
            area.x0 = std::min(area.x0, w->x), area.y0 = std::min(area.y0, w->y);
            area.x1 = std::max(area.x1, w->x + w->width), area.y1 = std::max(area.y1, w->y + w->height);
        }
    } else {
        const CGRect r = CGRectIntegral(CGRectStandardize(screenBounds));
        const CGFloat limit = static_cast<CGFloat>(kMaxImageSide) * 4;
        if (!(std::fabs(r.origin.x) <= limit && std::fabs(r.origin.y) <= limit && r.size.width <= limit &&
              r.size.height <= limit))
            return nullptr;
        area.x0 = static_cast<int64_t>(r.origin.x), area.y0 = static_cast<int64_t>(r.origin.y);
        area.x1 = area.x0 + static_cast<int64_t>(r.size.width), area.y1 = area.y0 + static_cast<int64_t>(r.size.height);
    }
    if (area.Empty() || area.Width() > kMaxImageSide || area.Height() > kMaxImageSide ||
        static_cast<size_t>(area.Width() * area.Height()) > kMaxImagePixels)
        return nullptr;

    const bool opaque = imageOption & kCGWindowImageShouldBeOpaque;
    const size_t count = static_cast<size_t>(area.Width() * area.Height());
    auto *pixels = static_cast<uint32_t *>(std::malloc(count * 4));
    if (pixels == nullptr) return nullptr;
    std::fill(pixels, pixels + count, opaque ? 0xFFFFFFFFu : 0u);
    if (!(imageOption & kCGWindowImageOnlyShadows))
        for (auto it = shown.rbegin(); it != shown.rend(); ++it) DrawWindow(server, **it, area, pixels);
    if (opaque)
        for (size_t i = 0; i < count; ++i) {
            // Over white: what a window left uncovered shows white.
            const uint32_t p = pixels[i], keep = 255 - (p >> 24);
            if (keep == 0) continue;
            const auto over = [&](int shift) { return std::min<uint32_t>(255, ((p >> shift) & 0xFF) + keep); };
            pixels[i] = 0xFF000000u | over(16) << 16 | over(8) << 8 | over(0);
        }

    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels, count * 4, ReleasePixels);
    if (provider == nullptr) {
        std::free(pixels);
        return nullptr;
    }
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    const CGBitmapInfo info =
        (opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little;
    CGImageRef image = CGImageCreate(static_cast<size_t>(area.Width()), static_cast<size_t>(area.Height()), 8, 32,
                                     static_cast<size_t>(area.Width()) * 4, space, info, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return image;
}

}  // namespace

CFArrayRef CGWindowListCopyWindowInfo(CGWindowListOption option, CGWindowID relativeToWindow) {
    CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    if (list == nullptr) return nullptr;
    const Server *server = GetServer();
    if (server == nullptr) return list;
    const std::vector<WindowRecord> all = ListWindows(*server);
    for (const WindowRecord *w : SelectWindows(all, option, relativeToWindow))
        if (CFDictionaryRef info = CreateWindowInfo(*w)) {
            CFArrayAppendValue(list, info);
            CFRelease(info);
        }
    return list;
}

CGImageRef CGWindowListCreateImage(CGRect screenBounds, CGWindowListOption listOption, CGWindowID windowID,
                                   CGWindowImageOption imageOption) {
    const Server *server = GetServer();
    if (server == nullptr) return nullptr;
    const std::vector<WindowRecord> all = ListWindows(*server);
    return CreateImage(*server, screenBounds, SelectWindows(all, listOption, windowID), imageOption);
}

CGImageRef CGWindowListCreateImageFromArray(CGRect screenBounds, CFArrayRef windowArray,
                                            CGWindowImageOption imageOption) {
    if (windowArray == nullptr || CFGetTypeID(windowArray) != CFArrayGetTypeID()) return nullptr;
    const Server *server = GetServer();
    if (server == nullptr) return nullptr;
    std::vector<xcb_window_t> ids;
    const CFIndex count = CFArrayGetCount(windowArray);
    for (CFIndex i = 0; i < count && ids.size() < kMaxWalkWindows; ++i) {
        const auto value = reinterpret_cast<uintptr_t>(CFArrayGetValueAtIndex(windowArray, i));
        // X window ids have 29 bits; anything else names no window.
        if (value != kCGNullWindowID && value <= 0x1FFFFFFF) ids.push_back(static_cast<xcb_window_t>(value));
    }
    const std::vector<WindowRecord> found = DescribeWindows(*server, ids, false);
    std::vector<const WindowRecord *> windows;
    for (const WindowRecord &w : found) windows.push_back(&w);
    return CreateImage(*server, screenBounds, windows, imageOption);
}

namespace cg::window {

std::optional<std::string> PropertyText(const Property &property) {
    if (!property.present || property.format != 8 || (property.data == nullptr && property.length > 0))
        return std::nullopt;
    const char *bytes = static_cast<const char *>(property.data);
    return std::string(bytes, bytes ? strnlen(bytes, property.length) : 0);
}

std::vector<uint32_t> PropertyCardinals(const Property &property) {
    std::vector<uint32_t> values;
    if (!property.present || property.format != 32 || property.data == nullptr) return values;
    values.resize(property.length / 4);
    if (!values.empty()) std::memcpy(values.data(), property.data, values.size() * 4);
    return values;
}

void TrimPartialUTF8(std::string &text) {
    size_t start = text.size();
    int back = 0;
    while (start > 0 && back < 4 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start, ++back;
    if (start == 0) return;
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    const int need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (need > back) text.resize(start - 1);
}

CFStringRef CreateWindowName(const Property &netWmName, const Property &wmName, uint32_t utf8StringAtom) {
    if (auto text = PropertyText(netWmName)) {
        if (netWmName.cut) TrimPartialUTF8(*text);
        if (CFStringRef name = CreateString(*text, kCFStringEncodingUTF8)) return name;
    }
    auto text = PropertyText(wmName);
    if (!text) return nullptr;
    if (wmName.type == utf8StringAtom && utf8StringAtom != 0) {
        if (wmName.cut) TrimPartialUTF8(*text);
        return CreateString(*text, kCFStringEncodingUTF8);
    }
    if (wmName.type == kAtomString) return CreateString(*text, kCFStringEncodingISOLatin1);
    for (char ch : *text)
        if (static_cast<unsigned char>(ch) >= 0x80 || ch == 0x1B) return nullptr;
    return CreateString(*text, kCFStringEncodingASCII);
}

}  // namespace cg::window
