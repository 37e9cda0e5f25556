// Small owners of GDI handles, so that whatever paints or measures gives
// back what it took on every road out: a selected object goes back out of
// its DC, a made object or DC is deleted, a window DC released. Here, the
// lowest folder that makes GDI objects (the fonts), so that the views and
// the dialogs above share them.
#pragma once
#include <windows.h>

// Selects `object` into `dc` (nothing when either is none) and selects the
// previous object back at the end of the scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : NULL) {}
    ~SelectedObject()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    BOOL Selected() const { return previous_ != NULL; }

private:
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    HDC dc_;
    HGDIOBJ previous_;
};

// A pen, brush, font or bitmap this code made: deleted by Reset or at the
// end of the owner's life. It must not be selected into a DC by then.
template <class Handle> class GdiObject {
public:
    GdiObject() : handle_(NULL) {}
    ~GdiObject() { Reset(NULL); }
    void Reset(Handle handle)
    {
        if (handle_)
            DeleteObject(handle_);
        handle_ = handle;
    }
    Handle Get() const { return handle_; }

private:
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle handle_;
};

// A memory DC: deleted by Reset or at the end of the owner's life.
class MemoryDc {
public:
    MemoryDc() : dc_(NULL) {}
    ~MemoryDc() { Reset(NULL); }
    // A DC like `like` (the screen's when none); FALSE when none was made.
    BOOL Create(HDC like)
    {
        Reset(CreateCompatibleDC(like));
        return dc_ != NULL;
    }
    void Reset(HDC dc)
    {
        if (dc_)
            DeleteDC(dc_);
        dc_ = dc;
    }
    HDC Get() const { return dc_; }

private:
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC dc_;
};

// The window's DC for measuring, released at the end of the scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HWND window_;
    HDC dc_;
};

// BeginPaint now, EndPaint at the end of the scope.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintDc() { EndPaint(window_, &paint_); }
    HDC Get() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HWND window_;
    HDC dc_;
    PAINTSTRUCT paint_;
};
