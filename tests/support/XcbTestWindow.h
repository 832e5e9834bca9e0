// Plain X windows for the window-list tests, made on a connection of the test's own: a
// window with a name and the test's process id, painted in two colours (top half, bottom
// half), optionally framed the way a window manager frames its clients.
#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace lumora::test {

class XcbTestConnection {
public:
    XcbTestConnection() : mConnection(xcb_connect(nullptr, nullptr)) {
        if (!Usable()) return;
        mScreen = xcb_setup_roots_iterator(xcb_get_setup(mConnection)).data;
    }
    ~XcbTestConnection() { xcb_disconnect(mConnection); }
    XcbTestConnection(const XcbTestConnection &) = delete;
    XcbTestConnection &operator=(const XcbTestConnection &) = delete;

    bool Usable() const { return xcb_connection_has_error(mConnection) == 0; }
    xcb_connection_t *Get() const { return mConnection; }
    const xcb_screen_t *Screen() const { return mScreen; }

    xcb_atom_t Atom(const char *name) const {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            mConnection, xcb_intern_atom(mConnection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }
    // Waits until the server has done every request sent so far.
    void Sync() const { std::free(xcb_get_input_focus_reply(mConnection, xcb_get_input_focus(mConnection), nullptr)); }

    void SetProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint8_t format, uint32_t count,
                     const void *data) const {
        xcb_change_property(mConnection, XCB_PROP_MODE_REPLACE, window, property, type, format, count, data);
    }
    void SetText(xcb_window_t window, const char *property, const char *type, const std::string &text) const {
        SetProperty(window, Atom(property), Atom(type), 8, static_cast<uint32_t>(text.size()), text.data());
    }
    void SetCardinal(xcb_window_t window, const char *property, uint32_t value) const {
        SetProperty(window, Atom(property), XCB_ATOM_CARDINAL, 32, 1, &value);
    }

private:
    xcb_connection_t *mConnection;
    const xcb_screen_t *mScreen = nullptr;
};

// 24-bit TrueColor pixel values, as Xvfb's default visual has them: 0xRRGGBB.
class XcbTestWindow {
public:
    // A top-level window (or a child of parent) at (x, y), not yet shown. With a name it gets
    // _NET_WM_NAME (UTF-8) and WM_NAME (the same bytes as STRING), and _NET_WM_PID.
    XcbTestWindow(const XcbTestConnection &connection, int16_t x, int16_t y, uint16_t width, uint16_t height,
                  const std::string &name, xcb_window_t parent = XCB_NONE)
        : mX(connection), mWidth(width), mHeight(height) {
        xcb_connection_t *c = mX.Get();
        mWindow = xcb_generate_id(c);
        const uint32_t values[] = {0x000000, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, mWindow, parent == XCB_NONE ? mX.Screen()->root : parent, x, y,
                          width, height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, mX.Screen()->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        if (!name.empty()) {
            mX.SetText(mWindow, "_NET_WM_NAME", "UTF8_STRING", name);
            mX.SetText(mWindow, "WM_NAME", "STRING", name);
            mX.SetCardinal(mWindow, "_NET_WM_PID", static_cast<uint32_t>(::getpid()));
        }
        mGC = xcb_generate_id(c);
        xcb_create_gc(c, mGC, mWindow, 0, nullptr);
        mX.Sync();
    }
    ~XcbTestWindow() {
        xcb_free_gc(mX.Get(), mGC);
        Destroy();
    }
    XcbTestWindow(const XcbTestWindow &) = delete;
    XcbTestWindow &operator=(const XcbTestWindow &) = delete;

    xcb_window_t Id() const { return mWindow; }

    // Maps the window, waits for the server to show it and paints it.
    void Show(uint32_t top = 0xC03010, uint32_t bottom = 0x2080F0) {
        xcb_map_window(mX.Get(), mWindow);
        xcb_flush(mX.Get());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        bool mapped = false;
        while (!mapped && std::chrono::steady_clock::now() < deadline) {
            xcb_generic_event_t *event = xcb_poll_for_event(mX.Get());
            if (event == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY && map->window == mWindow;
            std::free(event);
        }
        Paint(top, bottom);
    }
    void Paint(uint32_t top, uint32_t bottom) {
        const uint16_t half = mHeight / 2;
        Fill(top, xcb_rectangle_t{0, 0, mWidth, half});
        Fill(bottom, xcb_rectangle_t{0, static_cast<int16_t>(half), mWidth, static_cast<uint16_t>(mHeight - half)});
        mX.Sync();
    }
    void Hide() {
        xcb_unmap_window(mX.Get(), mWindow);
        mX.Sync();
    }
    void Raise() {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(mX.Get(), mWindow, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        mX.Sync();
    }
    void Destroy() {
        if (mWindow == XCB_NONE) return;
        xcb_destroy_window(mX.Get(), mWindow);
        mX.Sync();
        mWindow = XCB_NONE;
    }

private:
    void Fill(uint32_t pixel, xcb_rectangle_t rect) {
        xcb_change_gc(mX.Get(), mGC, XCB_GC_FOREGROUND, &pixel);
        xcb_poly_fill_rectangle(mX.Get(), mWindow, mGC, 1, &rect);
    }

    const XcbTestConnection &mX;
    xcb_window_t mWindow = XCB_NONE;
    xcb_gcontext_t mGC = XCB_NONE;
    uint16_t mWidth, mHeight;
};

}  // namespace lumora::test
