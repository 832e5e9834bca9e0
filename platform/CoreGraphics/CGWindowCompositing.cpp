#include <CoreGraphics/CGWindowCompositing.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct ConnectionCloser {
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};

}  // namespace

bool CGWindowServerIsCompositing() {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return false;
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, ConnectionCloser> connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) return false;

    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber < 0 ? 0 : screenNumber);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection.get(), xcb_intern_atom(connection.get(), 1, static_cast<uint16_t>(name.size()), name.c_str()),
        nullptr);
    // "Only if exists": an atom nobody made cannot be a selection anybody owns.
    const xcb_atom_t selection = atom != nullptr ? atom->atom : XCB_NONE;
    std::free(atom);
    if (selection == XCB_NONE) return false;

    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection.get(), xcb_get_selection_owner(connection.get(), selection), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_NONE;
    std::free(owner);
    return owned;
}
