// Small Windows helpers: keeping a window on the monitor and loading PNG images into GDI.
#pragma once

#ifdef _WIN32
#include <windows.h>

// x when (x, y) lies on a monitor; otherwise x kept inside the work area of the nearest one.
int ClampToMonitorX(int x, int y);

// GDI+ for the whole program: started once (version 1), on the first call from the program's
// entry or the first image loaded, and shut down once at its end. True while it runs.
bool StartGdiplus();
void ShutdownGdiplus();

// Loads an image into a new GDI bitmap (null on failure). A text name is a file path; a
// resource number is read from the program's resources of the given type (or, for no type or
// RT_BITMAP, as a bitmap resource). PNG images come back as 32-bit premultiplied DIB sections.
// A PNG file the skin's own form (8-bit truecolour, with or without alpha) is decoded here, much
// faster than GDI+ under Wine; any other image goes to GDI+.
HBITMAP LoadPngResource(const char* name, const char* type);
// The file through GDI+ alone (null on failure).
HBITMAP LoadImageFileWithGdiplus(const char* path);

#endif  // _WIN32
