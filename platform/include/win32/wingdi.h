// The little of GDI the suite touches: stock objects, device contexts that record what is done
// to them (text colour, background mode, the selected font, bitmaps stretched onto a window),
// fonts, bitmaps and text extents. No pixels are drawn here; front ends paint from what the
// window runtime records (ui::describe).
#pragma once

#include "base/export.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

using HGDIOBJ = void*;

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF

// Background modes
#define TRANSPARENT 1
#define OPAQUE 2

// Raster operations
#define SRCCOPY 0x00CC0020UL

#define LF_FACESIZE 32
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1
#define ANSI_CHARSET 0

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
using PLOGFONTA = LOGFONTA*;
using LPLOGFONTA = LOGFONTA*;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

// A handle that names the stock object (it is never freed); NULL for an index we do not know.
HGDIOBJ GetStockObject(int i);
BOOL DeleteObject(HGDIOBJ ho);
// Fonts give their LOGFONTA, bitmaps their BITMAP (size only; bmBits is NULL).
int GetObjectA(HANDLE h, int c, LPVOID pv);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);

HFONT CreateFontIndirectA(const LOGFONTA* lplf);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);

HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD rop);
BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);

// The runtime's measure: 4 units wide per character, 8 high (see ui/gdi.cpp).
BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, SIZE* psizl);
BOOL GetTextExtentPointA(HDC hdc, LPCSTR lpString, int c, SIZE* psizl);

VLT_EXPORT_END
