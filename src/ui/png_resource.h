#pragma once

// The skin resource store: PNG files kept as named RCDATA resources of the program's own
// module, found by name whatever its case, decoded into premultiplied bitmaps.

#include "ui/bitmap.h"
#include "ui/png_decoder.h"

#include <windows.h>

#include <string>

class TImage;

// The decoded picture, alpha not yet applied, of the resource `name` of `module`, with the same errors
// as LoadPngResource.
PngImage LoadPngResourcePicture(HMODULE module, const std::wstring& name);
// Decodes the resource `name` of `module`; raises the decoder's error for a broken blob, and an
// error naming the resource when there is none of that name.
TBitmap LoadPngResource(HMODULE module, const std::wstring& name);

// The program's own module as the store.
void LoadPNGResourceToBitmap(TBitmap& bitmap, const std::wstring& name);
// The control's picture becomes the decoded picture and the control repaints.
void LoadPNGResourceToImage(TImage& image, const std::wstring& name);
