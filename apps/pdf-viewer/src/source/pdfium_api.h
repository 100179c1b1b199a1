#pragma once
// The PDFium entry points the viewer calls, declared from PDFium's public API
// (fpdfview.h, fpdf_doc.h, fpdf_text.h, fpdf_edit.h, fpdf_ppo.h, fpdf_save.h).
// PDFium is never linked: these are pointers bound with dlsym into one table
// (see pdfium_library.h). Only code under source/ sees these types.
#include <cstddef>

extern "C" {
using FPDF_BOOL = int;
using FPDF_DWORD = unsigned long;
using FPDF_BYTESTRING = const char*;
using FPDF_WIDESTRING = const unsigned short*;  // UTF-16LE
using FPDF_DOCUMENT = struct fpdf_document_t__*;
using FPDF_PAGE = struct fpdf_page_t__*;
using FPDF_BITMAP = struct fpdf_bitmap_t__*;
using FPDF_TEXTPAGE = struct fpdf_textpage_t__*;
using FPDF_BOOKMARK = const struct fpdf_bookmark_t__*;
using FPDF_DEST = const struct fpdf_dest_t__*;
using FPDF_PAGEOBJECT = struct fpdf_pageobject_t__*;
using FPDF_FONT = struct fpdf_font_t__*;

struct FS_SIZEF {
  float width;
  float height;
};
struct FS_RECTF {
  float left;
  float top;
  float right;
  float bottom;
};
struct FPDF_FILEWRITE {
  int version;  // 1
  int (*WriteBlock)(FPDF_FILEWRITE* self, const void* data, unsigned long size);
};
}

namespace pdf::source {

// Bitmap formats and render flags used by rendering and image import.
inline constexpr int kFpdfBitmapBgra = 4;
inline constexpr int kFpdfRenderAnnotations = 0x01;
inline constexpr int kFpdfRenderLcdText = 0x02;
inline constexpr int kFpdfFillModeNone = 0;
inline constexpr int kFpdfFillModeWinding = 2;
inline constexpr FPDF_DWORD kFpdfSaveNoIncremental = 2;

// X(name, return type, parameter list). Every entry must resolve, or the
// candidate library is rejected as a whole.
#define VELYN_PDFIUM_ENTRY_POINTS(X)                                                              \
  /* library */                                                                                   \
  X(FPDF_InitLibrary, void, ())                                                                   \
  X(FPDF_GetLastError, unsigned long, ())                                                         \
  /* documents and page geometry */                                                               \
  X(FPDF_LoadMemDocument64, FPDF_DOCUMENT, (const void*, std::size_t, FPDF_BYTESTRING))           \
  X(FPDF_CloseDocument, void, (FPDF_DOCUMENT))                                                    \
  X(FPDF_GetPageCount, int, (FPDF_DOCUMENT))                                                      \
  X(FPDF_GetPageSizeByIndexF, FPDF_BOOL, (FPDF_DOCUMENT, int, FS_SIZEF*))                         \
  X(FPDF_GetMetaText, unsigned long, (FPDF_DOCUMENT, FPDF_BYTESTRING, void*, unsigned long))      \
  X(FPDFBookmark_GetFirstChild, FPDF_BOOKMARK, (FPDF_DOCUMENT, FPDF_BOOKMARK))                    \
  X(FPDFBookmark_GetNextSibling, FPDF_BOOKMARK, (FPDF_DOCUMENT, FPDF_BOOKMARK))                   \
  X(FPDFBookmark_GetTitle, unsigned long, (FPDF_BOOKMARK, void*, unsigned long))                  \
  X(FPDFBookmark_GetDest, FPDF_DEST, (FPDF_DOCUMENT, FPDF_BOOKMARK))                              \
  X(FPDFDest_GetDestPageIndex, int, (FPDF_DOCUMENT, FPDF_DEST))                                   \
  /* pages and rendering */                                                                       \
  X(FPDF_LoadPage, FPDF_PAGE, (FPDF_DOCUMENT, int))                                               \
  X(FPDF_ClosePage, void, (FPDF_PAGE))                                                            \
  X(FPDF_GetPageWidthF, float, (FPDF_PAGE))                                                       \
  X(FPDF_GetPageHeightF, float, (FPDF_PAGE))                                                      \
  X(FPDF_RenderPageBitmap, void, (FPDF_BITMAP, FPDF_PAGE, int, int, int, int, int, int))          \
  X(FPDFBitmap_Create, FPDF_BITMAP, (int, int, int))                                              \
  X(FPDFBitmap_CreateEx, FPDF_BITMAP, (int, int, int, void*, int))                                \
  X(FPDFBitmap_FillRect, FPDF_BOOL, (FPDF_BITMAP, int, int, int, int, FPDF_DWORD))                \
  X(FPDFBitmap_GetBuffer, void*, (FPDF_BITMAP))                                                   \
  X(FPDFBitmap_GetWidth, int, (FPDF_BITMAP))                                                      \
  X(FPDFBitmap_GetHeight, int, (FPDF_BITMAP))                                                     \
  X(FPDFBitmap_GetStride, int, (FPDF_BITMAP))                                                     \
  X(FPDFBitmap_Destroy, void, (FPDF_BITMAP))                                                      \
  /* text */                                                                                      \
  X(FPDFText_LoadPage, FPDF_TEXTPAGE, (FPDF_PAGE))                                                \
  X(FPDFText_ClosePage, void, (FPDF_TEXTPAGE))                                                    \
  X(FPDFText_CountChars, int, (FPDF_TEXTPAGE))                                                    \
  X(FPDFText_GetUnicode, unsigned int, (FPDF_TEXTPAGE, int))                                      \
  X(FPDFText_GetLooseCharBox, FPDF_BOOL, (FPDF_TEXTPAGE, int, FS_RECTF*))                         \
  /* writing: new documents, page import, page objects, saving */                                 \
  X(FPDF_CreateNewDocument, FPDF_DOCUMENT, ())                                                    \
  X(FPDF_ImportPages, FPDF_BOOL, (FPDF_DOCUMENT, FPDF_DOCUMENT, FPDF_BYTESTRING, int))            \
  X(FPDF_ImportPagesByIndex, FPDF_BOOL,                                                           \
    (FPDF_DOCUMENT, FPDF_DOCUMENT, const int*, unsigned long, int))                               \
  X(FPDFPage_New, FPDF_PAGE, (FPDF_DOCUMENT, int, double, double))                                \
  X(FPDFPage_InsertObject, void, (FPDF_PAGE, FPDF_PAGEOBJECT))                                    \
  X(FPDFPage_GenerateContent, FPDF_BOOL, (FPDF_PAGE))                                             \
  X(FPDFPage_GetRotation, int, (FPDF_PAGE))                                                       \
  X(FPDFPage_GetMediaBox, FPDF_BOOL, (FPDF_PAGE, float*, float*, float*, float*))                 \
  X(FPDFPageObj_CreateNewPath, FPDF_PAGEOBJECT, (float, float))                                   \
  X(FPDFPageObj_CreateNewRect, FPDF_PAGEOBJECT, (float, float, float, float))                     \
  X(FPDFPageObj_Destroy, void, (FPDF_PAGEOBJECT))                                                 \
  X(FPDFPageObj_SetFillColor, FPDF_BOOL,                                                          \
    (FPDF_PAGEOBJECT, unsigned int, unsigned int, unsigned int, unsigned int))                    \
  X(FPDFPageObj_SetStrokeColor, FPDF_BOOL,                                                        \
    (FPDF_PAGEOBJECT, unsigned int, unsigned int, unsigned int, unsigned int))                    \
  X(FPDFPageObj_SetStrokeWidth, FPDF_BOOL, (FPDF_PAGEOBJECT, float))                              \
  X(FPDFPageObj_SetLineJoin, FPDF_BOOL, (FPDF_PAGEOBJECT, int))                                   \
  X(FPDFPageObj_SetLineCap, FPDF_BOOL, (FPDF_PAGEOBJECT, int))                                    \
  X(FPDFPageObj_SetBlendMode, void, (FPDF_PAGEOBJECT, FPDF_BYTESTRING))                           \
  X(FPDFPageObj_Transform, void, (FPDF_PAGEOBJECT, double, double, double, double, double, double)) \
  X(FPDFPageObj_NewTextObj, FPDF_PAGEOBJECT, (FPDF_DOCUMENT, FPDF_BYTESTRING, float))             \
  X(FPDFPageObj_CreateTextObj, FPDF_PAGEOBJECT, (FPDF_DOCUMENT, FPDF_FONT, float))                \
  X(FPDFPageObj_NewImageObj, FPDF_PAGEOBJECT, (FPDF_DOCUMENT))                                    \
  X(FPDFImageObj_SetBitmap, FPDF_BOOL, (FPDF_PAGE*, int, FPDF_PAGEOBJECT, FPDF_BITMAP))           \
  X(FPDFImageObj_SetMatrix, FPDF_BOOL,                                                            \
    (FPDF_PAGEOBJECT, double, double, double, double, double, double))                            \
  X(FPDFPath_MoveTo, FPDF_BOOL, (FPDF_PAGEOBJECT, float, float))                                  \
  X(FPDFPath_LineTo, FPDF_BOOL, (FPDF_PAGEOBJECT, float, float))                                  \
  X(FPDFPath_BezierTo, FPDF_BOOL, (FPDF_PAGEOBJECT, float, float, float, float, float, float))    \
  X(FPDFPath_Close, FPDF_BOOL, (FPDF_PAGEOBJECT))                                                 \
  X(FPDFPath_SetDrawMode, FPDF_BOOL, (FPDF_PAGEOBJECT, int, FPDF_BOOL))                           \
  X(FPDFText_LoadStandardFont, FPDF_FONT, (FPDF_DOCUMENT, FPDF_BYTESTRING))                       \
  X(FPDFText_LoadFont, FPDF_FONT, (FPDF_DOCUMENT, const unsigned char*, unsigned int, int, FPDF_BOOL)) \
  X(FPDFFont_Close, void, (FPDF_FONT))                                                            \
  X(FPDFText_SetText, FPDF_BOOL, (FPDF_PAGEOBJECT, FPDF_WIDESTRING))                              \
  X(FPDF_SaveAsCopy, FPDF_BOOL, (FPDF_DOCUMENT, FPDF_FILEWRITE*, FPDF_DWORD))

// One table of bound entry points. A table is only handed out complete.
struct PdfiumApi {
#define VELYN_PDFIUM_DECLARE(name, ret, params) ret(*name) params = nullptr;
  VELYN_PDFIUM_ENTRY_POINTS(VELYN_PDFIUM_DECLARE)
#undef VELYN_PDFIUM_DECLARE
};

}  // namespace pdf::source
