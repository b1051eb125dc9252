package com.tavra.api.windows;

/** A top-level window: its handle, style, window class name and title. */
public final class WindowInfo {
    private final long handle;
    private final int style;
    private final String className;
    private final String title;

    public WindowInfo(long handle, int style, String className, String title) {
        this.handle = handle;
        this.style = style;
        this.className = className;
        this.title = title;
    }

    /** The window handle (HWND). */
    public long getHandle() {
        return handle;
    }

    /** The low 32 bits of the window style. */
    public int getStyle() {
        return style;
    }

    public String getClassName() {
        return className;
    }

    public String getTitle() {
        return title;
    }
}
