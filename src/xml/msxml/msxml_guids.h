// The class and interface of MSXML 3.0 that the parser documents are made
// from. The system headers declare them, but the import library does not
// define them, so they are defined once, here.
#pragma once

#include <windows.h>

namespace tarnweld::xml {

// FreeThreadedDOMDocument30: F5078F33-C551-11D3-89B9-0000F81FE221. An
// XSLTemplate30 compiles only a stylesheet held in one.
inline constexpr CLSID kClsidFreeThreadedDomDocument30 = {
    0xf5078f33, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
// XSLTemplate30: F5078F36-C551-11D3-89B9-0000F81FE221.
inline constexpr CLSID kClsidXslTemplate30 = {
    0xf5078f36, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
// IXSLTemplate: 2933BF93-7B36-11D2-B20E-00C04F983E60.
inline constexpr IID kIidXslTemplate = {0x2933bf93, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
// IXMLDOMDocument2: 2933BF95-7B36-11D2-B20E-00C04F983E60.
inline constexpr IID kIidXmlDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

}  // namespace tarnweld::xml
