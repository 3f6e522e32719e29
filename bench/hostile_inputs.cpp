// Writes the hostile inputs of bench/hostile_inputs.sh into a folder: pictures a camera
// might send and files an installer might be handed, each built to cost memory.
//   bench_hostile_inputs FOLDER
//
// hidden.jpg      10000 x 10000 progressive, headers opening with RST0 and a segment that
//                 hides a small baseline frame and scan
// multiscan.jpg   3264 x 2448 (8 megapixels) progressive, a real picture
// large.jpg       a 640 x 480 picture padded with comment segments to 15.5 MiB
// nested.json     64 MiB of "["        numbers.json  64 MiB of "1,"
// objects.json    64 MiB of "{},"      many.json     100,000 valid cameras
// full.json       8192 valid cameras, every text at its longest
// plan.csv        a plan header and 599,000 rows of ",,,,,," (just under 4 MiB)

#include <turbojpeg.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Jpeg(int width, int height, bool progressive) {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>((i * 7) ^ (i / 4099));
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 90,
                progressive ? TJFLAG_PROGRESSIVE : 0);
    std::string out(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

std::string Hidden() {
    std::string jpeg = Jpeg(64, 48, true);
    const size_t frame = jpeg.find("\xFF\xC2");
    jpeg[frame + 5] = 0x27, jpeg[frame + 6] = 0x10, jpeg[frame + 7] = 0x27, jpeg[frame + 8] = 0x10;
    std::string hiding = std::string("\xFF\xD0\xFF\xE0\xFF\xFF", 6);
    hiding.resize(2 + 0xFFE0, '\0');
    const unsigned char fake[] = {0xFF, 0xC0, 0, 17, 8, 0, 48, 0, 64, 3, 1, 0x11, 0, 2, 0x11, 0, 3,
                                  0x11, 0, 0xFF, 0xDA, 0, 12, 3, 1, 0, 2, 0, 3, 0, 0, 63, 0};
    hiding.append(reinterpret_cast<const char*>(fake), sizeof fake);
    hiding.resize(2 + 2 + 65535, '\0');
    return jpeg.insert(2, hiding);
}

std::string Large() {
    std::string jpeg = Jpeg(640, 480, false);
    std::string padding;
    std::string comment = std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'x');
    while (padding.size() + jpeg.size() < 15 * 1024 * 1024 + 512 * 1024) padding += comment;
    return jpeg.insert(2, padding);
}

std::string Repeat(const std::string& head, const std::string& piece, size_t bytes,
                   const std::string& tail) {
    std::string out = head;
    out.reserve(bytes + tail.size());
    while (out.size() + piece.size() + tail.size() <= bytes) out += piece;
    return out + tail;
}

std::string Cameras(int count, bool longest) {
    const std::string text = longest ? std::string(127, 'n') : "Cam";
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        char camera[256];
        std::snprintf(camera, sizeof camera,
                      "%s{\"mac\":\"02:1B:2C:%02X:%02X:%02X\",\"ip\":\"10.%d.%d.%d\",\"httpPort\":80,",
                      i ? "," : "", i >> 16, (i >> 8) & 255, i & 255, (i >> 16) & 255,
                      (i >> 8) & 255, i & 255);
        out += camera;
        for (const char* key : {"name", "mask", "gateway", "mode", "fwVersion", "model", "company",
                                "serial", "adapter", "adapterName", "status"})
            out += std::string("\"") + key + "\":\"" + text + "\",";
        out += "\"warnings\":[\"duplicate-ip\"]}";
    }
    return out + "]";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_hostile_inputs FOLDER\n");
        return 1;
    }
    const std::string folder = argv[1];
    const size_t mib64 = 64u << 20;
    const std::pair<const char*, std::string> files[] = {
        {"hidden.jpg", Hidden()},
        {"multiscan.jpg", Jpeg(3264, 2448, true)},
        {"large.jpg", Large()},
        {"nested.json", std::string(mib64, '[')},
        {"numbers.json", Repeat("[", "1,", mib64 - 2, "1]")},
        {"objects.json", Repeat("[", "{},", mib64 - 3, "{}]")},
        {"many.json", Cameras(100000, false)},
        {"full.json", Cameras(8192, true)},
        {"plan.csv", Repeat("mac,name,ip,mask,gateway,mode,port\n", ",,,,,,\n", (4u << 20) - 1, "")},
    };
    for (const auto& [name, bytes] : files) {
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
