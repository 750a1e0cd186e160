// The skin: where its pictures lie and how they are loaded.
//
// The skin folder is "<program folder>\image\<W>x<H>" for the screen's size
// (width first, three digits at least); the idle backgrounds and the start
// screen's logo always come from the 800x480 folder. Opaque pictures come
// through the shell's loader (16-bit), pictures with transparency through
// the imaging factory as 32-bit top-down bitmaps with premultiplied alpha.
// A missing or unreadable picture gives a null bitmap and nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "platform/graphics/graphics.h"
#include "platform/graphics/imaging.h"

// Pictures above this side are refused, so that no size arithmetic can overflow.
constexpr int kMaxSkinImageSide = 4096;

std::string SkinFolder(int screenWidth, int screenHeight);
std::string IdleSkinFolder();
// folder\subfolder\name
std::string SkinFile(const std::string& folder, const char* subfolder, const char* name);

os::IImagingFactory* CreateSkinImagingFactory();
void ReleaseSkinImagingFactory(os::IImagingFactory* factory);

os::HBITMAP LoadOpaqueImage(const char* path);
os::HBITMAP LoadAlphaImage(os::IImagingFactory* factory, const char* path);
// Each 0xAARRGGBB pixel's colours times its alpha / 255, alpha kept.
void PremultiplyPixels(std::uint32_t* pixels, std::size_t count);
// The bitmap's size; false for a null or unknown bitmap.
bool BitmapSize(os::HBITMAP bitmap, int* width, int* height);
