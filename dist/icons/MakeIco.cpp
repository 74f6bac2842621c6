// Writes the program's main icon as a Windows icon file for the executable's
// icon group 128: the 16 and 32 pixel pixel art of res/Icons.cpp, exactly as
// the program draws its idle tray icon, as 32-bit images with their masks
// (the framework's one decoder of the art, framework/Images.h).
// Runs at build time on the build machine.
//
//   MakeIco FILE.ico

#include "framework/Images.h"
#include "res/ResourceTables.h"
#include "res/resource.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Put16(std::string& str, unsigned n)
{
    str += static_cast<char>(n & 0xFF);
    str += static_cast<char>((n >> 8) & 0xFF);
}

void Put32(std::string& str, std::uint32_t n)
{
    Put16(str, n & 0xFFFF);
    Put16(str, n >> 16);
}

// One image as an icon resource stores it: a bitmap header of twice the
// height, the colours bottom-up, then the mask bottom-up.
bool ImageData(const AFX_ICON_IMAGE& art, std::string& str)
{
    const int n = art.size;
    Put32(str, 40);
    Put32(str, static_cast<std::uint32_t>(n));
    Put32(str, static_cast<std::uint32_t>(2 * n));
    Put16(str, 1);
    Put16(str, 32);
    for (int i = 0; i < 6; ++i)
        Put32(str, 0);
    AFX_IMAGE32 image;
    if (!AfxDecodeIcon(art, image))
        return false;
    const std::vector<std::uint32_t>& pixels = image.pixels;  // 0xAARRGGBB: B, G, R, A in memory
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x)
            Put32(str, pixels[static_cast<std::size_t>(y) * n + x]);
    const int nStride = ((n + 31) / 32) * 4;
    for (int y = n - 1; y >= 0; --y) {
        std::vector<unsigned char> row(static_cast<std::size_t>(nStride), 0);
        for (int x = 0; x < n; ++x)
            if ((pixels[static_cast<std::size_t>(y) * n + x] >> 24) == 0)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
        str.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: MakeIco FILE.ico\n", stderr);
        return 2;
    }
    const AFX_ICON* pIcon = nullptr;
    for (const AFX_ICON& icon : ProdletIcons())
        if (icon.id == IDR_MAINFRAME)
            pIcon = &icon;
    if (pIcon == nullptr) {
        std::fputs("MakeIco: no main icon in the resources\n", stderr);
        return 1;
    }
    const AFX_ICON_IMAGE* apImages[] = {&pIcon->large, &pIcon->small};
    std::string astrData[2];
    for (int i = 0; i < 2; ++i) {
        if (!ImageData(*apImages[i], astrData[i])) {
            std::fprintf(stderr, "MakeIco: the %d pixel image is malformed\n", apImages[i]->size);
            return 1;
        }
    }
    std::string strFile;
    Put16(strFile, 0);
    Put16(strFile, 1);  // an icon
    Put16(strFile, 2);
    std::uint32_t nOffset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        strFile += static_cast<char>(apImages[i]->size);
        strFile += static_cast<char>(apImages[i]->size);
        strFile += '\0';  // no palette
        strFile += '\0';
        Put16(strFile, 1);
        Put16(strFile, 32);
        Put32(strFile, static_cast<std::uint32_t>(astrData[i].size()));
        Put32(strFile, nOffset);
        nOffset += static_cast<std::uint32_t>(astrData[i].size());
    }
    strFile += astrData[0] + astrData[1];
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << strFile;
    return out ? 0 : 1;
}
