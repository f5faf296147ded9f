#pragma once
// Test doubles for image files: a decoder over images held in memory, and a file naming that
// needs neither the code page nor the path resolver.

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "render/ImageDecoder.h"
#include "render/gm_Tex.h"

namespace gm::test {

struct MemoryImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Argb; // rows from the top
    bool FailRead = false;           // ReadStart succeeds, Read fails (a damaged file)
};

class MemoryDecoder : public ImageDecoder {
public:
    std::map<std::string, MemoryImage> Files;
    std::vector<std::string> Opened; // every path ReadStart was asked for

    bool ReadStart(const std::string& fileName, int& width, int& height) override {
        Opened.push_back(fileName);
        Current_ = nullptr;
        auto it = Files.find(fileName);
        if (it == Files.end()) return false;
        Current_ = &it->second;
        width = Current_->Width;
        height = Current_->Height;
        return true;
    }

    bool Read(void* dest, int pitch, std::uint32_t r, std::uint32_t g, std::uint32_t b,
              std::uint32_t a, int bytesPerPixel) override {
        const MemoryImage* image = Current_;
        Current_ = nullptr;
        if (!image || image->FailRead) return false;
        if (r != 0x00FF0000u || g != 0x0000FF00u || b != 0x000000FFu || a != 0xFF000000u ||
            bytesPerPixel != 4)
            return false;
        for (int y = 0; y < image->Height; ++y)
            for (int x = 0; x < image->Width; ++x) {
                const std::uint32_t v = image->Argb[std::size_t(y * image->Width + x)];
                auto* p = static_cast<std::uint8_t*>(dest) + y * pitch + x * 4;
                p[0] = std::uint8_t(v);
                p[1] = std::uint8_t(v >> 8);
                p[2] = std::uint8_t(v >> 16);
                p[3] = std::uint8_t(v >> 24);
            }
        return true;
    }

private:
    const MemoryImage* Current_ = nullptr;
};

// ASCII names only; "<base>/<name>" when there is a base folder.
inline TexFileNaming TestNaming(std::string base = {}) {
    TexFileNaming naming;
    naming.BaseFolder = std::move(base);
    naming.ToAnsi = [](std::u16string_view text) {
        std::string out;
        for (char16_t c : text)
            out += c < 128 ? char(c) : '?';
        return out;
    };
    naming.Resolve = [](std::string_view folder, std::string_view name) {
        return folder.empty() ? std::string(name) : std::string(folder) + "/" + std::string(name);
    };
    return naming;
}

inline MemoryImage SolidImage(int width, int height, std::uint32_t argb) {
    return MemoryImage{width, height, std::vector<std::uint32_t>(std::size_t(width * height), argb),
                       false};
}

} // namespace gm::test
